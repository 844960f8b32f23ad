#pragma once

#include "DisplaySettings.h"

#include <QByteArray>
#include <QStringList>

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
    // One description per value read as absent: a Color or FontSize that is no
    // integer of int's range, and any value in the settings layer's notation
    // for objects ("@..."), which is never decoded.
    QStringList invalidValues;
    // Why a file at the path was read as no file; empty when it was read or is absent.
    QString fileProblem;

    // One line per thing read as absent, for the standard error stream.
    QStringList diagnostics(const QString &fileName) const;
};

// Reads both groups from the settings file's content. Only text is read: the
// content never becomes an object of the settings layer.
StoredDisplaySettings readDisplaySettings(const QByteArray &content);

// `content` with every key of both groups set (booleans as "true" or "false",
// Color as a decimal integer, the rest as text) and every other line kept as
// it is, in the settings layer's notation.
QByteArray withDisplaySettings(const QByteArray &content, const DisplaySettings &values);

} // namespace korvel
