#pragma once

#include <QImage>

namespace korvel {

// What one of the quick decoders made of a file.
struct ImageDecoding
{
    enum class Outcome {
        Decoded,
        Corrupt,   // of a kind handled there, but damaged or cut short
        TooLarge,  // declares more pixels than ImageSource::MaxPixels
        NotHandled // another format, or a kind left to Qt's reader
    };
    Outcome outcome = Outcome::NotHandled;
    QImage image;
};

} // namespace korvel
