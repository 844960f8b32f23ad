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

QString PlasmaDesktop::script(const QString &file)
{
    // FillMode 0 stretches the picture over the whole screen. It prints how
    // many desktops it set: none while plasmashell is still loading.
    return QStringLiteral("var n = 0; desktops().forEach(function (d) {"
                          " d.wallpaperPlugin = 'org.kde.image';"
                          " d.currentConfigGroup = ['Wallpaper', 'org.kde.image', 'General'];"
                          " d.writeConfig('Image', %1);"
                          " d.writeConfig('FillMode', 0); ++n; }); print(n);")
        .arg(literal(QUrl::fromLocalFile(file).toString(QUrl::FullyEncoded)));
}

QStringList PlasmaDesktop::apply(const QString &file)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName(), QStringLiteral("/PlasmaShell"), QStringLiteral("org.kde.PlasmaShell"),
        QStringLiteral("evaluateScript"));
    call << script(file);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, CallMilliseconds);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return {QStringLiteral("cannot set KDE Plasma's wallpaper: %1")
                    .arg(reply.errorMessage().left(300))};
    if (reply.arguments().value(0).toString().trimmed().toInt() < 1)
        return {QStringLiteral("cannot set KDE Plasma's wallpaper: it has no desktop yet")};
    return {};
}

} // namespace korvel
