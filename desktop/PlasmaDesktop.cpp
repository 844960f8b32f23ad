#include "PlasmaDesktop.h"

#include <QDBusMessage>
#include <QUrl>

namespace korvel {

namespace {

// `text` as a JavaScript string literal: only printable ASCII stays as it is.
QString literal(const QString &text)
{
    QString quoted = QStringLiteral("'");
    for (const QChar c : text) {
        if (c.unicode() >= 0x20 && c.unicode() < 0x7f && c != QLatin1Char('\'') &&
            c != QLatin1Char('\\'))
            quoted += c;
        else
            quoted += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
    }
    return quoted + QLatin1Char('\'');
}

} // namespace

QString PlasmaDesktop::serviceName() const
{
    return QStringLiteral("org.kde.plasmashell");
}

QString PlasmaDesktop::script(const QString &file, const QVector<DesktopPicture::Part> &parts)
{
    const auto url = [](const QString &path) {
        return literal(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
    };
    // With parts, a desktop whose screen is a monitor's rectangle shows that
    // monitor's part, any other the whole picture.
    QString choose;
    QString image = url(file);
    if (!parts.isEmpty()) {
        QStringList list;
        for (const DesktopPicture::Part &part : parts)
            list << QStringLiteral("[%1, %2, %3, %4, %5]")
                        .arg(part.monitor.x())
                        .arg(part.monitor.y())
                        .arg(part.monitor.width())
                        .arg(part.monitor.height())
                        .arg(url(part.file));
        choose = QStringLiteral(" var image = %1; var g = screenGeometry(d.screen);"
                                " [%2].forEach(function (p) { if (g.x == p[0] && g.y == p[1] &&"
                                " g.width == p[2] && g.height == p[3]) image = p[4]; });")
                     .arg(image, list.join(QStringLiteral(", ")));
        image = QStringLiteral("image");
    }
    // FillMode 0 stretches the picture over the whole screen. It prints how
    // many desktops it set: none while plasmashell is still loading.
    return QStringLiteral("var n = 0; desktops().forEach(function (d) {%1"
                          " d.wallpaperPlugin = 'org.kde.image';"
                          " d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];"
                          " d.writeConfig('Image', %2);"
                          " d.writeConfig('FillMode', 0); ++n; }); print(n);")
        .arg(choose, image);
}

QStringList PlasmaDesktop::apply(const DesktopPicture &picture)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName(), QStringLiteral("/PlasmaShell"), QStringLiteral("org.kde.PlasmaShell"),
        QStringLiteral("evaluateScript"));
    call << script(picture.file, picture.parts);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, CallMilliseconds);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return {QStringLiteral("cannot set KDE Plasma's wallpaper: %1")
                    .arg(reply.errorMessage().left(300))};
    if (reply.arguments().value(0).toString().trimmed().toInt() < 1)
        return {QStringLiteral("cannot set KDE Plasma's wallpaper: it has no desktop yet")};
    return {};
}

} // namespace korvel
