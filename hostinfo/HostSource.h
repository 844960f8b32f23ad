#pragma once

#include "hostinfo/InterfaceEntry.h"

#include <QByteArray>
#include <QString>
#include <QVector>

#include <optional>

namespace korvel {

// Where the host facts come from. The real source asks the operating system;
// the collection logic only sees these plain values.
class HostSource
{
public:
    virtual ~HostSource() = default;

    // The interface-address enumeration in its own order; nullopt when it fails.
    virtual std::optional<QVector<InterfaceEntry>> interfaces() const = 0;
    virtual std::optional<QString> loginName() const = 0;
    virtual std::optional<QString> nodeName() const = 0;
    // The kernel's IPv4 route table in its text form.
    virtual std::optional<QByteArray> routeTable() const = 0;
};

} // namespace korvel
