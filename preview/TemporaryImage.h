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
