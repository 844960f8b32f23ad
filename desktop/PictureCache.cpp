#include "PictureCache.h"

#include "base/ReplacementFile.h"
#include "picture/CompactPng.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>

#include <isa-l/crc64.h>

#include <fcntl.h>
#include <sys/stat.h>

namespace korvel {

namespace {

const QString Prefix = QStringLiteral("desktop-");
const QString Suffix = QStringLiteral(".png");

// What names a picture: its pixels, its size and the rectangles of its parts.
// (A checksum of 64 bits: two different pictures of a user's taking the same
// name is not to be expected; a picture made to collide on purpose could
// only make that user's desktop keep an earlier picture of their own.)
QString nameOf(const QImage &image, const QVector<QRect> &parts)
{
    uint64_t sum = 0;
    for (int y = 0; y < image.height(); ++y)
        sum = crc64_ecma_refl(sum, image.constScanLine(y), uint64_t(image.width()) * 4);
    QVector<int> geometry{image.width(), image.height(), int(image.format())};
    for (const QRect &part : parts)
        geometry << part.x() << part.y() << part.width() << part.height();
    sum = crc64_ecma_refl(sum, reinterpret_cast<const unsigned char *>(geometry.constData()),
                          uint64_t(geometry.size()) * sizeof(int));
    return Prefix + QStringLiteral("%1").arg(sum, 16, 16, QLatin1Char('0'));
}

// The name a picture's files share: what comes before the part's number or the suffix.
QString stemOf(const QString &file)
{
    const int end = file.indexOf(QLatin1Char('-'), Prefix.size());
    return file.left(end >= 0 ? end : file.size() - Suffix.size());
}

// A file written whole before, which is used again: it becomes the newest.
bool reused(const QString &path)
{
    struct stat st = {};
    const QByteArray name = QFile::encodeName(path);
    return ::lstat(name.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0 &&
           ::utimensat(AT_FDCWD, name.constData(), nullptr, AT_SYMLINK_NOFOLLOW) == 0;
}

} // namespace

QString PictureCache::folder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/korvel-desktopinfo");
}

std::optional<QStringList> PictureCache::store(const QImage &image, const QVector<QRect> &parts,
                                               QString *error)
{
    const QString dir = folder();
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create the folder %1").arg(dir);
        return std::nullopt;
    }
    ::chmod(QFile::encodeName(dir).constData(), 0700);

    const QString stem = nameOf(image, parts);
    QStringList paths;
    for (int i = -1; i < parts.size(); ++i) {
        const QString path = dir + QLatin1Char('/') + stem +
                             (i < 0 ? QString() : QStringLiteral("-%1").arg(i)) + Suffix;
        paths << path;
        // The same picture, written at an earlier login or drawing, is not written again.
        if (reused(path))
            continue;
        // One part at a time: its pixels are copied for as long as it is encoded.
        const QByteArray png = encodeCompactPng(i < 0 ? image : image.copy(parts.at(i)));
        if (png.isEmpty()) {
            *error = QStringLiteral("cannot encode the picture of %1x%2 pixels")
                         .arg(image.width())
                         .arg(image.height());
            return std::nullopt;
        }
        ReplacementFile file(path, 0600);
        if (!file.prepare(png) || !file.commit()) {
            *error = QStringLiteral("cannot write %1: %2").arg(path, qt_error_string(file.error()));
            return std::nullopt;
        }
    }
    // This picture stays, and the newest other one with its parts (a desktop
    // may still be loading it); older ones go.
    QString previous;
    for (const QFileInfo &file : QDir(dir).entryInfoList({Prefix + QLatin1Char('*') + Suffix},
                                                         QDir::Files | QDir::System, QDir::Time)) {
        const QString other = stemOf(file.fileName());
        if (other == stem)
            continue;
        if (previous.isEmpty())
            previous = other;
        if (other != previous)
            QFile::remove(file.filePath());
    }
    return paths;
}

} // namespace korvel
