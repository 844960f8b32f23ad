#pragma once

#include "picture/ImageSource.h"
#include "save/ImageChoice.h"
#include "settings/DisplaySettings.h"

#include <QString>

namespace korvel {

class SettingsFile;

// What a save asks for: the path shown in the form, the file read for it and
// the values to write.
struct SaveRequest
{
    QString shown;
    ImageChoice image;
    DisplaySettings values;
};

// How a save ended. Anything but Saved left the files on disk as they were,
// except WallpaperFailedSettingsKept, where the new settings stayed.
struct SaveOutcome
{
    enum class Result {
        Saved,
        NoImageChosen,
        SettingsNotWritable,
        ImageUnusable,
        WallpaperFailed,
        SettingsWriteFailed,
        WallpaperFailedSettingsKept
    };

    Result result = Result::Saved;
    // The file the failure is about: the image, the wallpaper or the settings file.
    QString path;
    // For ImageUnusable: why the image cannot be installed.
    FileProblem fileProblem = FileProblem::None;
    ImageSource::Refusal imageRefusal = ImageSource::Refusal::None;
    // For the wallpaper's failures: the errno value.
    int writeError = 0;
};

// Saves `request.values` into the settings file and installs the chosen image
// as the wallpaper. In order: an image must be chosen, the settings file must
// be writable, the chosen file must be a usable image; only then is anything
// written. Both new files are complete beside the old ones before either
// changes; the wallpaper replaces the old one only once the settings are in
// place, and a wallpaper that cannot be put in place takes the old settings back.
SaveOutcome runSave(const SaveRequest &request, const SettingsFile &settings,
                    const QString &wallpaper);

} // namespace korvel
