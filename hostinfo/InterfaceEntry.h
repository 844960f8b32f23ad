#pragma once

#include <QString>

namespace korvel {

// One entry of the interface-address enumeration, in plain values. Entries
// of other families (or without an address) keep their name so that the
// interface still appears in the interface list.
struct InterfaceEntry
{
    QString name;
    bool ipv4 = false;
    QString address; // dotted quad, only for IPv4 entries
    QString netmask; // dotted quad, only for IPv4 entries
};

} // namespace korvel
