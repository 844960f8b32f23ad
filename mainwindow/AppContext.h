#pragma once

#include "base/Paths.h"

namespace korvel {

class FormClass;
class SettingsFile;

// The program-wide objects made at start-up, handed to the main window.
struct AppContext
{
    Paths paths;
    const FormClass *mainForm = nullptr;
    const FormClass *previewForm = nullptr;
    const SettingsFile *settings = nullptr;
};

} // namespace korvel
