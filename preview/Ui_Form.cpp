#include "Ui_Form.h"

#include "app/FormClass.h"

namespace korvel {

void Ui_Form::setupUi(QWidget *window)
{
    m_form.setupUi(window);
}

} // namespace korvel
