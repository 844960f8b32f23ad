#include "MainForm.h"

#include "forms/FormClass.h"
#include "forms/StartupError.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>

namespace korvel {

namespace {

template <typename Widget>
void find(QMainWindow *window, const FormClass &form, Widget *&member, const char *name)
{
    const QString objectName = QLatin1String(name);
    const char *required = Widget::staticMetaObject.className();
    QObject *found = window->findChild<QObject *>(objectName);
    if (found == nullptr)
        throw StartupError(QStringLiteral("the main form %1 has no widget \"%2\" (%3 required)")
                               .arg(form.path(), objectName, QLatin1String(required)));
    member = qobject_cast<Widget *>(found);
    if (member == nullptr)
        throw StartupError(QStringLiteral("in the main form %1 the widget \"%2\" is a %3, not a %4")
                               .arg(form.path(), objectName,
                                    QLatin1String(found->metaObject()->className()),
                                    QLatin1String(required)));
}

} // namespace

void MainForm::setupUi(QMainWindow *window)
{
    m_form.setupUi(window);
    find(window, m_form, cbUsername, "cbUsername");
    find(window, m_form, cbHostname, "cbHostname");
    find(window, m_form, cbIPaddress, "cbIPaddress");
    find(window, m_form, cbNetmask, "cbNetmask");
    find(window, m_form, cbGateway, "cbGateway");
    find(window, m_form, cbOver, "cbOver");
    find(window, m_form, textEdit, "textEdit");
    find(window, m_form, comboBox, "comboBox");
    find(window, m_form, spinBox, "spinBox");
    find(window, m_form, radioButton, "radioButton");
    find(window, m_form, radioButton_2, "radioButton_2");
    find(window, m_form, radioButton_3, "radioButton_3");
    find(window, m_form, cbLogo, "cbLogo");
    find(window, m_form, lineBrowse, "lineBrowse");
    find(window, m_form, pbBrowse, "pbBrowse");
    find(window, m_form, pushButton, "pushButton");
    find(window, m_form, pbSave, "pbSave");
    find(window, m_form, cbAutostart, "cbAutostart");
    find(window, m_form, pbExit, "pbExit");
}

} // namespace korvel
