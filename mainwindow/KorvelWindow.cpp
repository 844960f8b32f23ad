#include "KorvelWindow.h"

#include "mainwindow/AutostartControl.h"
#include "mainwindow/FormSettings.h"
#include "mainwindow/Messages.h"
#include "mainwindow/PreviewFlow.h"
#include "mainwindow/SaveSettingsFlow.h"
#include "preview/PreviewWindow.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>

#include <exception>

namespace korvel {

KorvelWindow::KorvelWindow(const AppContext &context, QWidget *parent)
    : QMainWindow(parent), m_context(context), m_form(*context.mainForm)
{
    m_form.setupUi(this);
    m_form.radioButton->setChecked(true);

    connect(m_form.cbOver, &QCheckBox::clicked, this, &KorvelWindow::stateOver);
    connect(m_form.pbSave, &QPushButton::clicked, this, &KorvelWindow::saveSettings);
    connect(m_form.pbBrowse, &QPushButton::clicked, this, &KorvelWindow::selectImage);
    connect(m_form.cbAutostart, &QCheckBox::clicked, this, &KorvelWindow::changeAutostart);
    connect(m_form.pbExit, &QPushButton::clicked, this, &QWidget::close);
    connect(m_form.pushButton, &QPushButton::clicked, this, &KorvelWindow::preview);

    loadSettings();
}

KorvelWindow::~KorvelWindow() = default;

namespace {

// No exception may leave a slot into the event loop: it would end the program
// in the middle of the user's work.
template <typename Action> void guarded(QWidget *window, Action action)
{
    try {
        action();
    } catch (const std::exception &error) {
        QMessageBox::warning(window, QString::fromUtf8(msg::ErrorTitle),
                             QString::fromUtf8(msg::UnexpectedFailure) +
                                 QString::fromUtf8(error.what()));
    }
}

} // namespace

void KorvelWindow::stateOver()
{
    m_form.textEdit->setEnabled(m_form.cbOver->checkState() != Qt::Unchecked);
}

void KorvelWindow::selectImage()
{
    guarded(this, [this] {
        m_form.lineBrowse->setText(
            QFileDialog::getOpenFileName(this, QString::fromUtf8(msg::ChooseImageCaption),
                                         QString(), QString::fromUtf8(msg::ChooseImageFilter)));
    });
}

void KorvelWindow::loadSettings()
{
    loadSettingsIntoForm(*m_context.settings, m_form);
    loadAutostartState(m_form.cbAutostart, m_context.paths.autostartEntry);
}

void KorvelWindow::saveSettings()
{
    guarded(this,
            [this] { saveSettingsFromForm(this, m_form, *m_context.settings, m_context.paths); });
}

void KorvelWindow::preview()
{
    guarded(this, [this] {
        if (PreviewWindow *shown = showPreview(this, m_form, m_context))
            m_preview = shown;
    });
}

void KorvelWindow::changeAutostart()
{
    guarded(this, [this] { switchAutostart(m_form.cbAutostart, this, m_context.paths); });
}

} // namespace korvel
