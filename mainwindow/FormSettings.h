#pragma once

#include "save/ImageChoice.h"
#include "settings/DisplaySettings.h"

namespace korvel {

class SettingsFile;
class MainForm;
struct StoredDisplaySettings;

// The form's current choices as the values a save writes; Image is always
// `wallpaper`, the installed copy of the chosen image.
DisplaySettings settingsFromForm(const MainForm &ui, const QString &wallpaper);

// Puts values read from the settings file into the form. Setting a check box
// from here runs no handler, so the text field is enabled only by an Over
// stored as exactly "true", and never disabled; the free text is always set,
// as plain text, so that it reads back as it was saved. The image's path is
// also kept as ui.storedImage (see ImageChoice).
void applyToForm(const StoredDisplaySettings &stored, MainForm &ui);

// Reads the settings file into the form. A file that is not a regular file,
// and a Color or FontSize that is not an integer, are used as if absent, with
// a line on the standard error stream.
void loadSettingsIntoForm(const SettingsFile &settings, MainForm &ui);

// The file a save or a preview reads for the image named in the form. A path
// the user picked or typed is read as it is, but in the wallpaper's own
// folder, where anyone in the group may plant a link, a link is not followed.
ImageChoice chosenImage(const MainForm &ui, const QString &wallpaper);

} // namespace korvel
