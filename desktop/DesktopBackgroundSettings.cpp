#include "DesktopBackgroundSettings.h"

namespace korvel {

QStringList setDesktopBackgroundSettings(const QString &)
{
    return {};
}

} // namespace korvel
