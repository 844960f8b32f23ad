#include "SettingsFileWrite.h"

#include <QSettings>

namespace korvel {

bool writeSettingsFile(QSettings &settings)
{
    const bool earlierError = settings.status() != QSettings::NoError;
    settings.sync();
    if (!earlierError)
        return settings.status() == QSettings::NoError;

    QSettings fresh(settings.fileName(), settings.format());
    fresh.setIniCodec(settings.iniCodec());
    fresh.sync();
    return fresh.status() == QSettings::NoError;
}

} // namespace korvel
