#include "StrictInteger.h"

#include <QString>
#include <QVariant>

#include <limits>

namespace korvel {

std::optional<int> toStrictInt(const QVariant &stored)
{
    bool ok = false;
    switch (stored.userType()) {
    case QMetaType::Int:
        return stored.toInt();
    case QMetaType::UInt:
    case QMetaType::Long:
    case QMetaType::LongLong: {
        const qlonglong value = stored.toLongLong(&ok);
        if (ok && value >= std::numeric_limits<int>::min() &&
            value <= std::numeric_limits<int>::max())
            return static_cast<int>(value);
        return std::nullopt;
    }
    case QMetaType::QString: {
        const int value = stored.toString().toInt(&ok, 10);
        if (ok)
            return value;
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

} // namespace korvel
