#pragma once

class QWidget;

namespace korvel {

class FormClass;

// The preview window's form. No code refers to any of its widgets.
class PreviewForm
{
public:
    explicit PreviewForm(const FormClass &form) : m_form(form) {}

    // Throws StartupError when the form cannot be built.
    void setupUi(QWidget *window);

private:
    const FormClass &m_form;
};

} // namespace korvel
