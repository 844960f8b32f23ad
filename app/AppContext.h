#pragma once

#include "Paths.h"

class QSettings;

namespace korvel {

class FormClass;

// The program-wide objects made at start-up, handed to the main window.
struct AppContext
{
    Paths paths;
    const FormClass *mainForm = nullptr;
    const FormClass *previewForm = nullptr;
    QSettings *settings = nullptr;
};

} // namespace korvel
