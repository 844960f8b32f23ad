#pragma once

#include "hostinfo/HostSource.h"

namespace korvel {

// The host facts as the C library and the kernel report them. The only place
// that calls into the system for them.
class SystemHostSource : public HostSource
{
public:
    std::optional<QVector<InterfaceEntry>> interfaces() const override;
    // The login name; when there is none (no controlling terminal, no login
    // record), the account name of the real user id.
    std::optional<QString> loginName() const override;
    std::optional<QString> nodeName() const override;
    std::optional<QByteArray> routeTable() const override;
};

} // namespace korvel
