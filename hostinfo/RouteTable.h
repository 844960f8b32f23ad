#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace korvel {

// The gateway of the IPv4 default route in the kernel's text route table (the
// format of /proc/net/route), as a dotted quad. Only usable routes count: up,
// with a gateway, not a reject route, destination and mask 0. Of several, the
// one with the lowest metric wins (the first of equals). nullopt when none.
std::optional<QString> defaultGateway(const QByteArray &routeTable);

} // namespace korvel
