#include "WindowEnvironment.h"

const korvel::SettingsFile &WindowEnvironment::settings()
{
    if (!m_settings)
        m_settings = std::make_unique<korvel::SettingsFile>(paths().settingsFile);
    return *m_settings;
}

korvel::AppContext WindowEnvironment::context()
{
    if (!m_mainForm)
        m_mainForm = korvel::FormClass::fromFile(paths().mainForm, QStringLiteral("QMainWindow"));
    if (!m_previewForm)
        m_previewForm = korvel::FormClass::fromFile(paths().previewForm, QStringLiteral("QWidget"));
    return {paths(), &*m_mainForm, &*m_previewForm, &settings()};
}

std::unique_ptr<korvel::KorvelWindow> WindowEnvironment::makeWindow()
{
    return std::make_unique<korvel::KorvelWindow>(context());
}
