#include "SettingsSnapshot.h"

#include "SettingsKeys.h"

#include <QSettings>

namespace korvel {

namespace {

QString path(const char *group, const char *key)
{
    return QString::fromLatin1(group) + QLatin1Char('/') + QString::fromLatin1(key);
}

} // namespace

SettingsSnapshot SettingsSnapshot::take(const QSettings &settings)
{
    const QString all[] = {
        path(keys::Displaying, keys::Username), path(keys::Displaying, keys::IPaddress),
        path(keys::Displaying, keys::Netmask),  path(keys::Displaying, keys::Gateway),
        path(keys::Displaying, keys::Hostname), path(keys::Displaying, keys::Over),
        path(keys::Displaying, keys::OverText), path(keys::Settings, keys::Color),
        path(keys::Settings, keys::FontSize),   path(keys::Settings, keys::Logo),
        path(keys::Settings, keys::Position),   path(keys::Settings, keys::OriginalImage),
        path(keys::Settings, keys::Image),
    };
    SettingsSnapshot snapshot;
    for (const QString &key : all)
        snapshot.m_entries.append({key, settings.contains(key), settings.value(key)});
    return snapshot;
}

void SettingsSnapshot::restore(QSettings &settings) const
{
    for (const Entry &entry : m_entries) {
        if (entry.present)
            settings.setValue(entry.key, entry.value);
        else
            settings.remove(entry.key);
    }
}

} // namespace korvel
