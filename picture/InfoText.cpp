#include "InfoText.h"

#include "picture/PictureLabels.h"

namespace korvel {

namespace {

QString line(const char *label, const std::optional<QString> &value)
{
    return value ? QString::fromUtf8(label) + *value : QString();
}

} // namespace

QString composeInfoText(const SystemInfo &info, const QString &freeText)
{
    return line(msg::LabelUsername, info.username) + QStringLiteral("\n\n") +
           line(msg::LabelHostname, info.hostname) + QLatin1Char('\n') +
           line(msg::LabelIpAddress, info.ipAddress) + QLatin1Char('\n') +
           line(msg::LabelNetmask, info.netmask) + QLatin1Char('\n') +
           line(msg::LabelGateway, info.gateway) + QStringLiteral("\n\n") + freeText;
}

} // namespace korvel
