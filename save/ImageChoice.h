#pragma once

#include "base/FileDescriptor.h"

#include <QString>

namespace korvel {

// The file that a save or a preview reads for the image named in the form.
struct ImageChoice
{
    QString path;
    FileDescriptor::Links links = FileDescriptor::Links::Follow;
    // The field still holds the path that the settings file put there. Anyone
    // in the group may have written that path, so it is never opened with the
    // rights of the user at the window: `path` is then the installed wallpaper,
    // the copy made of that image when it was chosen, read as the regular file
    // it must be.
    bool stored = false;
};

} // namespace korvel
