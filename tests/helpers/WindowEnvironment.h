#pragma once

#include "TestEnvironment.h"
#include "forms/FormClass.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/KorvelWindow.h"
#include "settings/SettingsFile.h"

#include <memory>
#include <optional>

// A test folder (see TestEnvironment) with the program-wide objects that
// start-up makes from it, for tests of the window.
class WindowEnvironment : public TestEnvironment
{
public:
    // The program-wide objects as start-up makes them, made on first use.
    const korvel::SettingsFile &settings()
    {
        if (!m_settings)
            m_settings = std::make_unique<korvel::SettingsFile>(paths().settingsFile);
        return *m_settings;
    }
    korvel::AppContext context()
    {
        if (!m_mainForm)
            m_mainForm = korvel::FormClass::fromFile(paths().mainForm, "QMainWindow");
        if (!m_previewForm)
            m_previewForm = korvel::FormClass::fromFile(paths().previewForm, "QWidget");
        return {paths(), &*m_mainForm, &*m_previewForm, &settings()};
    }
    // A main window built as start-up builds it (not shown).
    std::unique_ptr<korvel::KorvelWindow> makeWindow()
    {
        return std::make_unique<korvel::KorvelWindow>(context());
    }

private:
    std::optional<korvel::FormClass> m_mainForm;
    std::optional<korvel::FormClass> m_previewForm;
    std::unique_ptr<korvel::SettingsFile> m_settings;
};
