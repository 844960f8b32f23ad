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

} // namespace

QString PictureCache::folder()
{
    QString base = qEnvironmentVariable("XDG_CACHE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.cache");
    return base + QStringLiteral("/korvel-desktopinfo");
}

std::optional<QString> PictureCache::store(const QImage &image, QString *error)
{
    const QString dir = folder();
    if (!QDir().mkpath(dir)) {
        *error = QStringLiteral("cannot create the folder %1").arg(dir);
        return std::nullopt;
    }
    ::chmod(QFile::encodeName(dir).constData(), 0700);

    const QByteArray png = encodeCompactPng(image);
    if (png.isEmpty()) {
        *error = QStringLiteral("cannot encode the picture of %1x%2 pixels")
                     .arg(image.width())
                     .arg(image.height());
        return std::nullopt;
    }
    // Names sort by time: milliseconds of 13 digits until the year 2286.
    const QStringList before = QDir(dir).entryList({Prefix + QLatin1Char('*') + Suffix},
                                                   QDir::Files | QDir::System, QDir::Name);
    qint64 time = QDateTime::currentMSecsSinceEpoch();
    QString name;
    do
        name = Prefix + QString::number(time++) + Suffix;
    while (before.contains(name));
    const QString path = dir + QLatin1Char('/') + name;
    ReplacementFile file(path, 0600);
    if (!file.prepare(png) || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, qt_error_string(file.error()));
        return std::nullopt;
    }
    // The previous picture is the newest of those before.
    for (int i = 0; i + 1 < before.size(); ++i)
        QFile::remove(dir + QLatin1Char('/') + before.at(i));
    return path;
}

} // namespace korvel
