#pragma once

#include "display/DisplayDesktop.h"

namespace korvel {

// The desktop the window's screen belongs to, as the desktop tool sees it:
// on X, the X server's own monitors; elsewhere, the toolkit's screens.
DisplayDesktop screenDesktop();

} // namespace korvel
