#include "RootWindowBackground.h"

#include <QImage>

namespace korvel {

QString setRootBackground(const QImage &, const QByteArray &)
{
    return QStringLiteral("not built yet");
}

} // namespace korvel
