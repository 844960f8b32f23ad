#pragma once

#include <QString>

class QWidget;

namespace korvel {

class SettingsFile;
class MainForm;
struct Paths;
struct SaveOutcome;

// Asks whether to save (parent `window`) and, when the user agrees, saves the
// form (see runSave), then shows the success box or a warning that says why
// nothing was saved.
void saveSettingsFromForm(QWidget *window, const MainForm &ui, const SettingsFile &settings,
                          const Paths &paths);

// The warning's text for a save that failed.
QString saveFailureText(const SaveOutcome &outcome, const QString &settingsPath);

} // namespace korvel
