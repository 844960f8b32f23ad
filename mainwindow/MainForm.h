#pragma once

#include <QString>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QMainWindow;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTextEdit;

namespace korvel {

class FormClass;

// Typed access to the widgets of the main form, by their object names.
// setupUi() builds the form into the window and looks every widget up once;
// a form that lacks one, or has it with another class, is rejected.
class MainForm
{
public:
    explicit MainForm(const FormClass &form) : m_form(form) {}

    // Throws StartupError naming the first missing or mistyped widget.
    void setupUi(QMainWindow *window);

    QCheckBox *cbUsername = nullptr;
    QCheckBox *cbHostname = nullptr;
    QCheckBox *cbIPaddress = nullptr;
    QCheckBox *cbNetmask = nullptr;
    QCheckBox *cbGateway = nullptr;
    QCheckBox *cbOver = nullptr;
    QTextEdit *textEdit = nullptr;
    QComboBox *comboBox = nullptr;
    QSpinBox *spinBox = nullptr;
    QRadioButton *radioButton = nullptr;
    QRadioButton *radioButton_2 = nullptr;
    QRadioButton *radioButton_3 = nullptr;
    QCheckBox *cbLogo = nullptr;
    QLineEdit *lineBrowse = nullptr;
    QPushButton *pbBrowse = nullptr;
    QPushButton *pushButton = nullptr;
    QPushButton *pbSave = nullptr;
    QCheckBox *cbAutostart = nullptr;
    QPushButton *pbExit = nullptr;

    // The text that loading the settings file put into lineBrowse.
    QString storedImage;

private:
    const FormClass &m_form;
};

} // namespace korvel
