#include "LxqtDesktop.h"

#include <QDBusMessage>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace korvel {

namespace {

// The running program's command line; empty when it cannot be read.
QByteArray commandLineOf(const QDBusConnection &bus, const QString &service)
{
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
    ask << service;
    const QDBusMessage reply = bus.call(ask, QDBus::Block, DesktopSetter::CallMilliseconds);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return {};
    QFile file(QStringLiteral("/proc/%1/cmdline").arg(reply.arguments().constFirst().toUInt()));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.read(64 * 1024); // far more than any command line of it
}

} // namespace

QString LxqtDesktop::serviceName() const
{
    return QStringLiteral("org.pcmanfm.PCManFM");
}

QString LxqtDesktop::profile(const QByteArray &commandLine)
{
    const QList<QByteArray> arguments = commandLine.split('\0');
    QString name;
    for (int i = 1; i < arguments.size(); ++i) {
        const QByteArray &argument = arguments.at(i);
        if (argument == "--")
            break;
        if ((argument == "--profile" || argument == "-p") && i + 1 < arguments.size())
            name = QString::fromLocal8Bit(arguments.at(++i));
        else if (argument.startsWith("--profile="))
            name = QString::fromLocal8Bit(argument.mid(10));
        else if (argument.startsWith("-p") && !argument.startsWith("--"))
            name = QString::fromLocal8Bit(argument.mid(2));
    }
    // A profile is one folder's name.
    if (name.isEmpty() || name.contains(QLatin1Char('/')) || name == QLatin1String(".") ||
        name == QLatin1String(".."))
        return QStringLiteral("default");
    return name;
}

QStringList LxqtDesktop::apply(const DesktopPicture &picture)
{
    QDBusMessage call = QDBusMessage::createMethodCall(
        serviceName(), QStringLiteral("/Application"), QStringLiteral("org.pcmanfm.Application"),
        QStringLiteral("setWallpaper"));
    call << picture.file << QStringLiteral("stretch");
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, CallMilliseconds);
    if (reply.type() == QDBusMessage::ErrorMessage)
        return {
            QStringLiteral("cannot set LXQt's wallpaper: %1").arg(reply.errorMessage().left(300))};

    // pcmanfm-qt has saved its settings before answering.
    const QByteArray commandLine = commandLineOf(m_bus, serviceName());
    if (commandLine.isEmpty())
        return {QStringLiteral("cannot keep LXQt's wallpaper: pcmanfm-qt's profile is unknown")};
    m_settings = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                 QStringLiteral("/pcmanfm-qt/") + profile(commandLine) +
                 QStringLiteral("/settings.conf");
    m_file = picture.file;
    return keep();
}

QStringList LxqtDesktop::serviceEnded()
{
    return m_settings.isEmpty() ? QStringList() : keep();
}

QStringList LxqtDesktop::keep()
{
    QSettings settings(m_settings, QSettings::IniFormat);
    settings.beginGroup(QStringLiteral("Desktop"));
    if (settings.value(QStringLiteral("Wallpaper")).toString() == m_file &&
        settings.value(QStringLiteral("WallpaperMode")).toString() == QLatin1String("stretch"))
        return {};
    settings.setValue(QStringLiteral("Wallpaper"), m_file);
    settings.setValue(QStringLiteral("WallpaperMode"), QStringLiteral("stretch"));
    settings.endGroup();
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return {QStringLiteral("cannot keep LXQt's wallpaper in %1").arg(m_settings)};
    return {};
}

} // namespace korvel
