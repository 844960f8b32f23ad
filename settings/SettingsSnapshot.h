#pragma once

#include <QString>
#include <QVariant>
#include <QVector>

class QSettings;

namespace korvel {

// The values that a save replaces, as the settings object holds them before the
// save. The object keeps values that it failed to write in memory and tries to
// write them again later (at the latest when it is destroyed); restoring the
// snapshot after a failed save makes memory agree with the file again, so that
// no later write brings back a save the user was told had failed.
class SettingsSnapshot
{
public:
    // Takes every key of the file; `settings` must be outside any group.
    static SettingsSnapshot take(const QSettings &settings);
    // Puts every key back as it was, removing those that were absent.
    void restore(QSettings &settings) const;

private:
    struct Entry
    {
        QString key;
        QVariant value;
    };
    QVector<Entry> m_entries;
};

} // namespace korvel
