#include "RouteTable.h"

#include <QList>

#include <cstring>
#include <limits>

namespace korvel {

namespace {

constexpr unsigned RouteUp = 0x0001;
constexpr unsigned RouteGateway = 0x0002;
constexpr unsigned RouteReject = 0x0200;

// The table prints each address as the hexadecimal value of the 32-bit word
// that holds it in network byte order, read as a native integer.
QString dottedQuad(quint32 word)
{
    unsigned char bytes[4];
    std::memcpy(bytes, &word, sizeof bytes);
    return QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]);
}

} // namespace

std::optional<QString> defaultGateway(const QByteArray &routeTable)
{
    std::optional<QString> best;
    long long bestMetric = std::numeric_limits<long long>::max();
    const QList<QByteArray> lines = routeTable.split('\n');
    for (int i = 1; i < lines.size(); ++i) { // the first line is the header
        const QList<QByteArray> fields = lines.at(i).simplified().split(' ');
        if (fields.size() < 8)
            continue;
        bool ok[5] = {};
        const quint32 destination = fields.at(1).toUInt(&ok[0], 16);
        const quint32 gateway = fields.at(2).toUInt(&ok[1], 16);
        const unsigned flags = fields.at(3).toUInt(&ok[2], 16);
        const long long metric = fields.at(6).toLongLong(&ok[3], 10);
        const quint32 mask = fields.at(7).toUInt(&ok[4], 16);
        if (!(ok[0] && ok[1] && ok[2] && ok[3] && ok[4]))
            continue;
        if (destination != 0 || mask != 0 || gateway == 0)
            continue;
        if ((flags & RouteUp) == 0 || (flags & RouteGateway) == 0 || (flags & RouteReject) != 0)
            continue;
        if (metric < bestMetric) {
            bestMetric = metric;
            best = dottedQuad(gateway);
        }
    }
    return best;
}

} // namespace korvel
