#include "TemporaryImage.h"

#include "picture/PngWriter.h"

#include <QFile>
#include <QImage>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <chrono>
#include <utility>

namespace korvel {

namespace {

constexpr int MaxAttempts = 100;

double now()
{
    using Seconds = std::chrono::duration<double>;
    return std::chrono::duration_cast<Seconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
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

std::optional<TemporaryImageFile> createTemporaryImageFile(const QString &tempDir,
                                                           const std::function<double()> &clock)
{
    for (int attempt = 0; attempt < MaxAttempts; ++attempt) {
        const QString path = tempDir + temporaryImageName(clock());
        FileDescriptor fd(::open(QFile::encodeName(path).constData(),
                                 O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        if (fd.get() >= 0)
            return TemporaryImageFile{path, std::move(fd)};
        if (errno != EEXIST)
            return std::nullopt;
    }
    return std::nullopt;
}

std::optional<TemporaryImageFile> createTemporaryImageFile(const QString &tempDir)
{
    return createTemporaryImageFile(tempDir, now);
}

std::optional<QString> writeTemporaryImage(const QImage &image, const QString &tempDir,
                                           const std::function<double()> &clock)
{
    std::optional<TemporaryImageFile> file = createTemporaryImageFile(tempDir, clock);
    if (!file)
        return std::nullopt;
    if (writeFastPng(image, file->fd.get()))
        return file->path;
    QFile::remove(file->path);
    return std::nullopt;
}

} // namespace korvel
