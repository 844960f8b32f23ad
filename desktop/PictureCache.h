#pragma once

#include <QRect>
#include <QStringList>
#include <QVector>

#include <optional>

class QImage;

namespace korvel {

// The user's copy of the composed picture, for desktops that paint their
// background from a file named in their settings: a file that lasts, in
// $XDG_CACHE_HOME/korvel-desktopinfo (else ~/.cache/korvel-desktopinfo).
// Every picture gets a new name, so that a desktop watching its setting sees
// it change; the parts of its monitors are stored beside it. The newest and
// the one before stay (a desktop may still be loading that one); older
// pictures are removed.
class PictureCache
{
public:
    static QString folder();

    // Writes `image`, and then the part of it in each rectangle of `parts`,
    // as compact PNGs to new files, each atomically, and returns their paths
    // in that order; nullopt with `error` set when it cannot.
    static std::optional<QStringList> store(const QImage &image, const QVector<QRect> &parts,
                                            QString *error);
};

} // namespace korvel
