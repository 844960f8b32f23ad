#include "PreviewForm.h"

#include "forms/FormClass.h"

namespace korvel {

void PreviewForm::setupUi(QWidget *window)
{
    m_form.setupUi(window);
}

} // namespace korvel
