#include "SettingsSnapshot.h"

#include <QSet>
#include <QSettings>

namespace korvel {

SettingsSnapshot SettingsSnapshot::take(const QSettings &settings)
{
    SettingsSnapshot snapshot;
    const QStringList keys = settings.allKeys();
    for (const QString &key : keys)
        snapshot.m_entries.append({key, settings.value(key)});
    return snapshot;
}

void SettingsSnapshot::restore(QSettings &settings) const
{
    QSet<QString> before;
    for (const Entry &entry : m_entries)
        before.insert(entry.key);
    const QStringList now = settings.allKeys();
    for (const QString &key : now) {
        if (!before.contains(key))
            settings.remove(key);
    }
    for (const Entry &entry : m_entries)
        settings.setValue(entry.key, entry.value);
}

} // namespace korvel
