#include "CollectSystemInfo.h"

#include "hostinfo/HostSource.h"
#include "hostinfo/RouteTable.h"
#include "hostinfo/SystemHostSource.h"

#include <QStringList>

namespace korvel {

namespace {

const QString Loopback = QStringLiteral("lo");

} // namespace

SystemInfo collectSystemInfo(const SystemInfoRequest &request, const HostSource &source)
{
    SystemInfo info;
    const QVector<InterfaceEntry> entries = source.interfaces().value_or(QVector<InterfaceEntry>());
    QStringList names;
    for (const InterfaceEntry &entry : entries) {
        if (!names.contains(entry.name))
            names.append(entry.name);
    }

    if (request.username)
        info.username = source.loginName();
    if (request.hostname)
        info.hostname = source.nodeName();

    if (request.ipAddress || request.netmask) {
        for (const QString &name : qAsConst(names)) {
            if (name == Loopback)
                continue;
            for (const InterfaceEntry &entry : entries) {
                if (entry.name != name || !entry.ipv4)
                    continue;
                if (request.ipAddress)
                    info.ipAddress = entry.address;
                if (request.netmask)
                    info.netmask = entry.netmask;
            }
        }
    }

    if (request.gateway) {
        for (const QString &name : qAsConst(names)) {
            if (name == Loopback)
                continue;
            if (const std::optional<QByteArray> table = source.routeTable())
                info.gateway = defaultGateway(*table);
            break;
        }
    }
    return info;
}

SystemInfo collectSystemInfo(const SystemInfoRequest &request)
{
    return collectSystemInfo(request, SystemHostSource());
}

} // namespace korvel
