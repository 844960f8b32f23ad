#include "Diagnostics.h"

#include <QString>

#include <cstdio>

namespace korvel {

void printDiagnostic(const QString &text)
{
    std::fprintf(stderr, "korvel-desktopinfo-gui: %s\n", text.toLocal8Bit().constData());
    std::fflush(stderr);
}

} // namespace korvel
