#include "Ui_Form.h"

#include "forms/FormClass.h"

namespace korvel {

void Ui_Form::setupUi(QWidget *window)
{
    m_form.setupUi(window);
}

} // namespace korvel
