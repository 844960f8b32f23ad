#pragma once

#include "base/FileDescriptor.h"

#include <QString>

#include <functional>
#include <optional>

class QImage;

namespace korvel {

// The file name of a preview image: the time in seconds since the epoch in
// the shortest decimal form that reads back to the same double, always with a
// decimal point ("1700000000.0", "1700000000.25"), then ".png".
QString temporaryImageName(double secondsSinceEpoch);

// A new, empty file "<tempDir><time stamp>.png", open for writing. It is
// created exclusively with mode 0600 and never through a symbolic link; when
// the name is taken, a new time stamp is tried.
// Not a ReplacementFile (base/), though both create a new file exclusively:
// this file is the result itself, under a name made from the time, handed
// out open so that another thread writes it, and removed later by the
// preview window; a ReplacementFile is a hidden file with a random name
// beside its target, written whole, given a group's mode, flushed to the
// disk and renamed over the target.
struct TemporaryImageFile
{
    QString path;
    FileDescriptor fd;
};
std::optional<TemporaryImageFile> createTemporaryImageFile(const QString &tempDir,
                                                           const std::function<double()> &clock);
std::optional<TemporaryImageFile> createTemporaryImageFile(const QString &tempDir);

// Writes `image` as PNG into a new file "<tempDir><time stamp>.png" (see
// above), the time taken from `clock` (seconds since the epoch), and returns
// its path. On failure nothing is left behind and nullopt is returned.
std::optional<QString> writeTemporaryImage(const QImage &image, const QString &tempDir,
                                           const std::function<double()> &clock);

} // namespace korvel
