#pragma once

#include "DisplaySettings.h"

#include <QStringList>

class QSettings;

namespace korvel {

// What a read of the settings file yields.
struct StoredDisplaySettings
{
    // Booleans by the settings layer's rule (absent: false); texts as stored
    // (absent: empty); Color and FontSize as checked integers, 0 when absent or
    // invalid, FontSize as the decimal text of that number. Image is not read.
    DisplaySettings values;
    // Over once more, as text: true only when it is stored as exactly "true".
    bool overStoredAsTrueText = false;
    // One description per present Color or FontSize that is no integer of int's range.
    QStringList invalidValues;
    // Why a file at the path was read as no file; empty when it was read or is absent.
    QString fileProblem;

    // One line per thing read as absent, for the standard error stream.
    QStringList diagnostics(const QString &fileName) const;
};

// Reads both groups through `settings`; leaves the object outside any group.
StoredDisplaySettings readDisplaySettings(QSettings &settings);

// Sets every key of both groups in `settings` (booleans as booleans, Color as
// an integer, the rest as text). Only the object's memory changes; writing the
// file is the caller's step.
void writeDisplaySettings(QSettings &settings, const DisplaySettings &values);

} // namespace korvel
