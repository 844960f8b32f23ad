#include "DesktopSetters.h"

#include "DesktopBackgroundSettings.h"
#include "LxqtDesktop.h"
#include "PlasmaDesktop.h"
#include "XfceDesktop.h"

#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QFileInfo>
#include <QTimer>

#include <sys/stat.h>

namespace korvel {

namespace {

// A desktop that could not take the picture as it started (still loading) is
// asked again this often, at most this many times in all.
constexpr int RetryMilliseconds = 2000;
constexpr int StartAttempts = 5;

// The session bus's address; empty when there is none. An address that
// would start a bus is refused, as is none at all (D-Bus would start one).
QString sessionBusAddress()
{
    const QString address = qEnvironmentVariable("DBUS_SESSION_BUS_ADDRESS");
    if (!address.isEmpty())
        return address.contains(QLatin1String("autolaunch:")) ? QString() : address;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    struct stat st;
    if (runtime.isEmpty() || ::stat((runtime + "/bus").constData(), &st) != 0 ||
        !S_ISSOCK(st.st_mode))
        return {};
    return QStringLiteral("unix:path=") + QFile::decodeName(runtime + "/bus");
}

QDBusConnection connectSessionBus()
{
    const QString address = sessionBusAddress();
    if (address.isEmpty())
        return QDBusConnection(QString());
    return QDBusConnection::connectToBus(address, QStringLiteral("korvel-desktopinfo-session"));
}

} // namespace

DesktopSetters::DesktopSetters(QObject *parent) : QObject(parent), m_bus(connectSessionBus())
{
    if (!m_bus.isConnected())
        return;
    m_setters.push_back(std::make_unique<DesktopBackgroundSettings>());
    m_setters.push_back(std::make_unique<XfceDesktop>(m_bus));
    m_setters.push_back(std::make_unique<PlasmaDesktop>(m_bus));
    m_setters.push_back(std::make_unique<LxqtDesktop>(m_bus));
}

DesktopSetters::~DesktopSetters() = default;

bool DesktopSetters::present(const DesktopSetter &setter)
{
    if (setter.serviceName().isEmpty())
        return setter.installed();
    QDBusMessage ask = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    ask << setter.serviceName();
    const QDBusMessage reply = m_bus.call(ask, QDBus::Block, DesktopSetter::CallMilliseconds);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty() &&
           reply.arguments().constFirst().toBool();
}

bool DesktopSetters::needFile()
{
    for (const auto &setter : m_setters) {
        if (present(*setter))
            return true;
    }
    return false;
}

bool DesktopSetters::needMonitorParts()
{
    for (const auto &setter : m_setters) {
        if (setter->paintsEachMonitor() && present(*setter))
            return true;
    }
    return false;
}

QStringList DesktopSetters::apply(const DesktopPicture &picture)
{
    m_picture = picture;
    QStringList problems;
    for (const auto &setter : m_setters) {
        if (present(*setter))
            problems << setter->apply(picture);
    }
    return problems;
}

void DesktopSetters::watch()
{
    QStringList names;
    for (const auto &setter : m_setters) {
        if (!setter->serviceName().isEmpty())
            names << setter->serviceName();
    }
    if (names.isEmpty())
        return;
    auto *watcher = new QDBusServiceWatcher(this);
    watcher->setConnection(m_bus);
    watcher->setWatchMode(QDBusServiceWatcher::WatchForRegistration |
                          QDBusServiceWatcher::WatchForUnregistration);
    watcher->setWatchedServices(names);
    connect(watcher, &QDBusServiceWatcher::serviceRegistered, this,
            [this](const QString &name) { serviceStarted(name, 1); });
    connect(watcher, &QDBusServiceWatcher::serviceUnregistered, this, [this](const QString &name) {
        for (const auto &setter : m_setters) {
            if (setter->serviceName() == name)
                emit applied(setter->serviceEnded());
        }
    });
}

void DesktopSetters::serviceStarted(const QString &name, int attempt)
{
    for (const auto &setter : m_setters) {
        if (setter->serviceName() != name)
            continue;
        if (m_picture.file.isEmpty() || !QFileInfo::exists(m_picture.file) ||
            (setter->paintsEachMonitor() && m_picture.spansMonitors && m_picture.parts.isEmpty())) {
            emit fileNeeded();
            return;
        }
        const QStringList problems = setter->apply(m_picture);
        // A desktop that has just started may still be too busy to answer.
        if (!problems.isEmpty() && attempt < StartAttempts && present(*setter))
            QTimer::singleShot(RetryMilliseconds, this,
                               [this, name, attempt] { serviceStarted(name, attempt + 1); });
        else
            emit applied(problems);
    }
}

} // namespace korvel
