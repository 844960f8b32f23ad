#pragma once

class QWidget;

namespace korvel {

class SettingsFile;
class Ui_MainWindow;
struct Paths;

// Saves the form into the settings file and installs the chosen image as the
// wallpaper, after the user confirmed. In order: the question (parent
// `window`), an image must be chosen, the settings file must be writable, the
// chosen file must be a usable image; only then is anything written. The save
// ends either with everything written and the success box, or with nothing
// changed on disk and a warning that says why.
void saveSettingsFromForm(QWidget *window, const Ui_MainWindow &ui, const SettingsFile &settings,
                          const Paths &paths);

} // namespace korvel
