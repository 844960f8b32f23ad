#pragma once

#include "picture/PictureComposition.h"
#include "settings/DisplaySettings.h"

namespace korvel {

// What is drawn for one set of display settings: the requested host facts,
// looked up now, and the free text as one text block, in the chosen colour,
// size and position, on the image at `imagePath` stretched to `desktop`. The
// window's preview and the desktop tool both draw through this, so that the
// preview is what the tool puts on the desktop.
PictureJob jobFromSettings(const DisplaySettings &settings, const QString &imagePath,
                           const QSize &desktop, const QString &fontPath);

} // namespace korvel
