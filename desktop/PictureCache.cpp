#include "PictureCache.h"

#include "base/ReplacementFile.h"
#include "picture/CompactPng.h"

#include <QDateTime>
#include <QDir>
#include <QImage>

#include <sys/stat.h>

namespace korvel {

namespace {

const QString Prefix = QStringLiteral("desktop-");
const QString Suffix = QStringLiteral(".png");

// The time in a picture's name, which its parts' names share.
QString timeOf(const QString &name)
{
    return name.mid(Prefix.size(), 13);
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

    // Names sort by time: milliseconds of 13 digits until the year 2286.
    const QStringList before = QDir(dir).entryList({Prefix + QLatin1Char('*') + Suffix},
                                                   QDir::Files | QDir::System, QDir::Name);
    qint64 time = QDateTime::currentMSecsSinceEpoch();
    QString stem;
    do
        stem = Prefix + QString::number(time++);
    while (before.contains(stem + Suffix));
    QStringList paths;
    for (int i = -1; i < parts.size(); ++i) {
        // One part at a time: its pixels are copied for as long as it is encoded.
        const QByteArray png = encodeCompactPng(i < 0 ? image : image.copy(parts.at(i)));
        if (png.isEmpty()) {
            *error = QStringLiteral("cannot encode the picture of %1x%2 pixels")
                         .arg(image.width())
                         .arg(image.height());
            return std::nullopt;
        }
        const QString path = dir + QLatin1Char('/') + stem +
                             (i < 0 ? QString() : QStringLiteral("-%1").arg(i)) + Suffix;
        ReplacementFile file(path, 0600);
        if (!file.prepare(png) || !file.commit()) {
            *error = QStringLiteral("cannot write %1: %2").arg(path, qt_error_string(file.error()));
            return std::nullopt;
        }
        paths << path;
    }
    // The previous picture is the newest of those before, with its parts.
    const QString previous = before.isEmpty() ? QString() : timeOf(before.last());
    for (const QString &name : before) {
        if (timeOf(name) != previous)
            QFile::remove(dir + QLatin1Char('/') + name);
    }
    return paths;
}

} // namespace korvel
