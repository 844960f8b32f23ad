#include "SystemHostSource.h"

#include <QFile>

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace korvel {

namespace {

QString dottedQuad(const sockaddr *address)
{
    if (address == nullptr || address->sa_family != AF_INET)
        return QString();
    sockaddr_in ipv4;
    std::memcpy(&ipv4, address, sizeof ipv4);
    char text[INET_ADDRSTRLEN] = {};
    if (::inet_ntop(AF_INET, &ipv4.sin_addr, text, sizeof text) == nullptr)
        return QString();
    return QString::fromLatin1(text);
}

std::optional<QString> realUserName()
{
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<std::size_t>(size) : 4096);
    passwd entry;
    passwd *found = nullptr;
    int rc;
    while ((rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE)
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || found == nullptr)
        return std::nullopt;
    return QString::fromLocal8Bit(found->pw_name);
}

} // namespace

std::optional<QVector<InterfaceEntry>> SystemHostSource::interfaces() const
{
    ifaddrs *list = nullptr;
    if (::getifaddrs(&list) != 0)
        return std::nullopt;
    QVector<InterfaceEntry> entries;
    for (const ifaddrs *item = list; item != nullptr; item = item->ifa_next) {
        InterfaceEntry entry;
        entry.name = QString::fromLocal8Bit(item->ifa_name);
        entry.ipv4 = item->ifa_addr != nullptr && item->ifa_addr->sa_family == AF_INET;
        if (entry.ipv4) {
            entry.address = dottedQuad(item->ifa_addr);
            entry.netmask = dottedQuad(item->ifa_netmask);
        }
        entries.append(entry);
    }
    ::freeifaddrs(list);
    return entries;
}

std::optional<QString> SystemHostSource::loginName() const
{
    char name[256] = {};
    if (::getlogin_r(name, sizeof name) == 0 && name[0] != '\0')
        return QString::fromLocal8Bit(name);
    return realUserName();
}

std::optional<QString> SystemHostSource::nodeName() const
{
    utsname names;
    if (::uname(&names) != 0)
        return std::nullopt;
    return QString::fromLocal8Bit(names.nodename);
}

std::optional<QByteArray> SystemHostSource::routeTable() const
{
    QFile table(QStringLiteral("/proc/net/route"));
    if (!table.open(QIODevice::ReadOnly))
        return std::nullopt;
    return table.readAll();
}

} // namespace korvel
