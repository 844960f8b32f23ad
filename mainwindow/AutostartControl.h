#pragma once

#include "base/Paths.h"

class QCheckBox;
class QWidget;

namespace korvel {

// Sets `box` from the autostart entry at `entryPath`: checked when the entry
// lets the tool start at login, unchecked when it hides it, left alone when
// the entry does not say. When the entry cannot be read, a critical box
// without parent tells why and `box` is left alone.
void loadAutostartState(QCheckBox *box, const QString &entryPath);

// Switches the entry to the state that `box` shows after the user's click and
// reports the outcome: on success in an information box over `window`; on
// failure in a critical box without parent, after which `box` is set back to
// its state before the click. Relies on being run for user clicks only, so
// setting `box` back does not run it again.
void switchAutostart(QCheckBox *box, QWidget *window, const Paths &paths);

} // namespace korvel
