#pragma once

class QString;

namespace korvel {

// Writes one line for the administrator to the standard error stream, with
// the program's name in front.
void printDiagnostic(const QString &text);

} // namespace korvel
