#pragma once

class QSettings;

namespace korvel {

// Writes the pending changes of `settings` to its file now and tells whether
// they reached it.
//
// QSettings::status() keeps the first error for the object's whole life, so
// after one failed write it can no longer tell about a later one. In that case
// the result comes from a fresh object on the same file: settings objects of
// one process share their file's data, pending changes included, and the fresh
// object reports only its own write.
bool writeSettingsFile(QSettings &settings);

} // namespace korvel
