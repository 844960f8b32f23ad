#include "TemporaryImage.h"

#include <QFile>
#include <QImage>
#include <QImageWriter>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>

namespace korvel {

namespace {

// Qt maps PNG quality q to zlib level (100 - q) * 9 / 91, so 90 and above store
// the image data uncompressed. The file lives for three seconds on a local
// folder: writing fast matters, its size does not.
constexpr int PngQuality = 100;
constexpr int MaxAttempts = 100;

double now()
{
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

bool writePng(const QImage &image, int fd)
{
    QFile file;
    if (!file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return false;
    }
    QImageWriter writer(&file, "png");
    writer.setQuality(PngQuality);
    const bool written = writer.write(image) && file.flush();
    file.close();
    return written && file.error() == QFileDevice::NoError;
}

} // namespace

QString temporaryImageName(double secondsSinceEpoch)
{
    char text[64];
    const std::to_chars_result end =
        std::to_chars(text, text + sizeof text, secondsSinceEpoch, std::chars_format::fixed);
    QString stamp = QString::fromLatin1(text, static_cast<int>(end.ptr - text));
    if (!stamp.contains(QLatin1Char('.')))
        stamp += QStringLiteral(".0");
    return stamp + QStringLiteral(".png");
}

std::optional<QString> writeTemporaryImage(const QImage &image, const QString &tempDir)
{
    return writeTemporaryImage(image, tempDir, now);
}

std::optional<QString> writeTemporaryImage(const QImage &image, const QString &tempDir,
                                           const std::function<double()> &clock)
{
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        const QString path = tempDir + temporaryImageName(clock());
        const QByteArray encoded = QFile::encodeName(path);
        const int fd =
            ::open(encoded.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return std::nullopt;
        }
        if (writePng(image, fd))
            return path;
        ::unlink(encoded.constData());
        return std::nullopt;
    }
    return std::nullopt;
}

} // namespace korvel
