#include "PictureCache.h"

#include "app/ReplacementFile.h"

#include <QBuffer>
#include <QDateTime>
#include <QDir>
#include <QImage>
#include <QImageWriter>

#include <sys/stat.h>

namespace korvel {

namespace {

const QString Prefix = QStringLiteral("desktop-");
const QString Suffix = QStringLiteral(".png");
// zlib's fastest level: the picture is read back rarely and written at every change.
constexpr int PngQuality = 80;

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

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    writer.setQuality(PngQuality);
    if (!writer.write(image)) {
        *error = QStringLiteral("cannot encode the picture: %1").arg(writer.errorString());
        return std::nullopt;
    }

    const QString name = Prefix + QString::number(QDateTime::currentMSecsSinceEpoch()) + Suffix;
    const QString path = dir + QLatin1Char('/') + name;
    ReplacementFile file(path, 0600);
    if (!file.prepare(png) || !file.commit()) {
        *error = QStringLiteral("cannot write %1: %2").arg(path, qt_error_string(file.error()));
        return std::nullopt;
    }
    const QStringList older =
        QDir(dir).entryList({Prefix + QLatin1Char('*') + Suffix}, QDir::Files);
    for (const QString &old : older) {
        if (old != name)
            QFile::remove(dir + QLatin1Char('/') + old);
    }
    return path;
}

} // namespace korvel
