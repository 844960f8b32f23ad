#pragma once

#include <QString>

#include <optional>

class QImage;

namespace korvel {

// The user's copy of the composed picture, for desktops that paint their
// background from a file named in their settings: a file that lasts, in
// $XDG_CACHE_HOME/korvel-desktopinfo (else ~/.cache/korvel-desktopinfo).
// Every picture gets a new name, so that a desktop watching its setting sees
// it change. The newest and the one before stay (a desktop may still be
// loading that one); older pictures are removed.
class PictureCache
{
public:
    static QString folder();

    // Writes `image` as a compact PNG to a new file, atomically, and returns
    // its path; nullopt with `error` set when it cannot.
    static std::optional<QString> store(const QImage &image, QString *error);
};

} // namespace korvel
