#pragma once

#include "base/FileDescriptor.h"

#include <QColor>
#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace korvel {

enum class TextPosition { Left, Center, Right };

// What a picture is made of.
struct PictureJob
{
    QString imagePath;
    // Whether a symbolic link at imagePath is followed.
    FileDescriptor::Links imageLinks = FileDescriptor::Links::Follow;
    QString fontPath;
    int fontPixelSize = 0;
    int colorIndex = 0;
    TextPosition position = TextPosition::Left;
    QSize desktop;
    QString text;
};

enum class PictureFailure { None, ImageUnreadable, ImageTooLarge, FontUnusable, FontSizeRefused };

struct ComposedPicture
{
    QImage image;
    PictureFailure failure = PictureFailure::None;
};

// The top of the text block.
constexpr int TextTop = 50;
// Space added to the ascent between two lines.
constexpr int ExtraLineSpace = 4;

// The text colour of a colour choice; choices outside the table draw black.
QColor textColor(int colorIndex);
// The left edge of every line for a desktop `width` pixels wide.
int textLeftEdge(TextPosition position, int width);

// Loads the image by its content (a regular file only, read without blocking;
// see ImageSource) at exactly the desktop size (each axis
// stretched on its own, alpha kept) and draws the text on it: every line
// left-aligned at the position's edge, the first line's ascender at TextTop,
// one line every ascent (whole pixels) + ExtraLineSpace.
ComposedPicture composePicture(const PictureJob &job);

// The two halves of composePicture(). The image needs no application
// object and may be loaded on any thread; the text is drawn with the
// application's font engine, onto the image loaded for the same job.
ComposedPicture loadDesktopImage(const PictureJob &job);
ComposedPicture drawInfoText(ComposedPicture loaded, const PictureJob &job);

// loadDesktopImage() before the application object exists, with the quick
// PNG and JPEG decoders alone; nullopt for an image that needs Qt's reader
// (whose plugins must not be loaded while the application starts).
std::optional<ComposedPicture> loadDesktopImageWithoutToolkit(const PictureJob &job);

} // namespace korvel
