#include "XfceDesktop.h"

#include "display/OutputNames.h"
#include "display/XcbHandles.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QRegularExpression>

#include <xcb/xcb.h>

#include <algorithm>

namespace korvel {

namespace {

const QString Channel = QStringLiteral("xfce4-desktop");
// More than any session has; a planted count stays bounded.
constexpr int MaxWorkspaces = 64;

// The window manager's number of workspaces (_NET_NUMBER_OF_DESKTOPS); 1 when none says.
int workspaceCount()
{
    int screenNumber = 0;
    const Connection connection(xcb_connect(nullptr, &screenNumber));
    xcb_connection_t *c = connection.get();
    const xcb_screen_t *screen =
        xcb_connection_has_error(c) == 0 ? screenOf(c, screenNumber) : nullptr;
    if (screen == nullptr)
        return 1;
    const char name[] = "_NET_NUMBER_OF_DESKTOPS";
    const Reply<xcb_intern_atom_reply_t> atom(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, sizeof name - 1, name), nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return 1;
    const Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
        c, xcb_get_property(c, 0, screen->root, atom->atom, XCB_ATOM_CARDINAL, 0, 1), nullptr));
    if (!reply || reply->format != 32 || xcb_get_property_value_length(reply.get()) != 4)
        return 1;
    return int(std::clamp<uint32_t>(
        *static_cast<const uint32_t *>(xcb_get_property_value(reply.get())), 1, MaxWorkspaces));
}

} // namespace

QString XfceDesktop::serviceName() const
{
    return QStringLiteral("org.xfce.Xfconf");
}

QStringList XfceDesktop::backdrops(const QStringList &properties, const QStringList &monitors,
                                   int workspaces)
{
    static const QRegularExpression backdrop(
        QStringLiteral("^(/backdrop/screen[0-9]+/monitor[^/]+/workspace[0-9]+)/[^/]+$"));
    QStringList paths;
    for (const QString &property : properties) {
        const QRegularExpressionMatch match = backdrop.match(property);
        if (match.hasMatch())
            paths << match.captured(1);
    }
    for (const QString &monitor : monitors) {
        if (monitor.isEmpty() || monitor.contains(QLatin1Char('/')))
            continue;
        for (int workspace = 0; workspace < std::min(workspaces, MaxWorkspaces); ++workspace)
            paths << QStringLiteral("/backdrop/screen0/monitor%1/workspace%2")
                         .arg(monitor)
                         .arg(workspace);
    }
    paths.sort();
    paths.removeDuplicates();
    return paths;
}

QStringList XfceDesktop::apply(const DesktopPicture &picture)
{
    const auto message = [this](const QString &method, const QVariantList &arguments) {
        QDBusMessage call =
            QDBusMessage::createMethodCall(serviceName(), QStringLiteral("/org/xfce/Xfconf"),
                                           QStringLiteral("org.xfce.Xfconf"), method);
        call.setArguments(arguments);
        return call;
    };
    const auto call = [this, &message](const QString &method, const QVariantList &arguments) {
        return m_bus.call(message(method, arguments), QDBus::Block, CallMilliseconds);
    };
    const auto failed = [](const QDBusMessage &reply) {
        return QStringList{
            QStringLiteral("cannot set Xfce's backdrop: %1").arg(reply.errorMessage().left(300))};
    };
    const QDBusMessage all =
        call(QStringLiteral("GetAllProperties"), {Channel, QStringLiteral("/backdrop")});
    QStringList properties;
    if (all.type() == QDBusMessage::ReplyMessage && !all.arguments().isEmpty()) {
        // a{sv}: only the names are needed.
        const QDBusArgument map = all.arguments().constFirst().value<QDBusArgument>();
        map.beginMap();
        while (!map.atEnd()) {
            QString name;
            QDBusVariant value;
            map.beginMapEntry();
            map >> name >> value;
            map.endMapEntry();
            properties << name;
        }
        map.endMap();
    } else if (all.errorName() != QStringLiteral("org.xfce.Xfconf.Error.PropertyNotFound") &&
               all.errorName() != QStringLiteral("org.xfce.Xfconf.Error.ChannelNotFound")) {
        return failed(all);
    }
    // image-style 3 stretches the picture over each monitor, 6 spans it
    // over all of them.
    const int style = picture.spansMonitors ? 6 : 3;
    // Every property is sent at once and the answers are awaited after: one
    // round trip, not two for each backdrop. The service takes them in order.
    QVector<QDBusPendingCall> sets;
    const auto set = [&](const QString &property, const QVariant &value) {
        sets << m_bus.asyncCall(
            message(QStringLiteral("SetProperty"),
                    {Channel, property, QVariant::fromValue(QDBusVariant(value))}),
            CallMilliseconds);
    };
    for (const QString &path : backdrops(properties, readOutputNames(), workspaceCount())) {
        set(path + QStringLiteral("/image-style"), style);
        set(path + QStringLiteral("/last-image"), picture.file);
    }
    for (QDBusPendingCall &pending : sets) {
        pending.waitForFinished();
        if (pending.isError())
            return failed(pending.reply());
    }
    return {};
}

} // namespace korvel
