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
// A picture is named after its pixels: another picture gets another name, so
// that a desktop watching its setting sees it change, and the same picture,
// drawn at every login, is written once. The parts of its monitors are
// stored beside it. The newest and the one before stay (a desktop may still
// be loading that one); older pictures are removed.
class PictureCache
{
public:
    static QString folder();

    // Writes `image`, and then the part of it in each rectangle of `parts`,
    // as compact PNGs, each file atomically, unless they are there already,
    // and returns their paths in that order; nullopt with `error` set when it
    // cannot.
    static std::optional<QStringList> store(const QImage &image, const QVector<QRect> &parts,
                                            QString *error);
};

} // namespace korvel
