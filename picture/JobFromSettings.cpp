#include "JobFromSettings.h"

#include "hostinfo/CollectSystemInfo.h"
#include "picture/InfoText.h"
#include "settings/SettingsKeys.h"

namespace korvel {

PictureJob jobFromSettings(const DisplaySettings &settings, const QString &imagePath,
                           const QSize &desktop, const QString &fontPath)
{
    SystemInfoRequest request;
    request.username = settings.Username;
    request.hostname = settings.Hostname;
    request.ipAddress = settings.IPaddress;
    request.netmask = settings.Netmask;
    request.gateway = settings.Gateway;

    PictureJob job;
    job.imagePath = imagePath;
    job.fontPath = fontPath;
    job.desktop = desktop;
    job.text =
        composeInfoText(collectSystemInfo(request), settings.Over ? settings.OverText : QString());
    job.colorIndex = settings.Color;
    bool sizeRead = false;
    job.fontPixelSize = settings.FontSize.toInt(&sizeRead, 10);
    if (!sizeRead)
        job.fontPixelSize = 0;
    // The window shows "left" where the file names no position.
    if (settings.Position == QLatin1String(keys::PositionCenter))
        job.position = TextPosition::Center;
    else if (settings.Position == QLatin1String(keys::PositionRight))
        job.position = TextPosition::Right;
    else
        job.position = TextPosition::Left;
    return job;
}

} // namespace korvel
