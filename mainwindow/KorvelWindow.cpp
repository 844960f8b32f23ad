#include "KorvelWindow.h"

#include "mainwindow/AutostartControl.h"
#include "mainwindow/FormSettings.h"
#include "mainwindow/Messages.h"
#include "mainwindow/PreviewFlow.h"
#include "mainwindow/SaveSettingsFlow.h"
#include "preview/previewWindow.h"

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
    : QMainWindow(parent), m_context(context), ui(*context.mainForm)
{
    ui.setupUi(this);
    ui.radioButton->setChecked(true);

    connect(ui.cbOver, &QCheckBox::clicked, this, &KorvelWindow::stateOver);
    connect(ui.pbSave, &QPushButton::clicked, this, &KorvelWindow::saveSettings);
    connect(ui.pbBrowse, &QPushButton::clicked, this, &KorvelWindow::selectImage);
    connect(ui.cbAutostart, &QCheckBox::clicked, this, &KorvelWindow::changeAutostart);
    connect(ui.pbExit, &QPushButton::clicked, this, &QWidget::close);
    connect(ui.pushButton, &QPushButton::clicked, this, &KorvelWindow::preview);

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
    ui.textEdit->setEnabled(ui.cbOver->checkState() != Qt::Unchecked);
}

void KorvelWindow::selectImage()
{
    guarded(this, [this] {
        ui.lineBrowse->setText(
            QFileDialog::getOpenFileName(this, QString::fromUtf8(msg::ChooseImageCaption),
                                         QString(), QString::fromUtf8(msg::ChooseImageFilter)));
    });
}

void KorvelWindow::loadSettings()
{
    loadSettingsIntoForm(*m_context.settings, ui);
    loadAutostartState(ui.cbAutostart, m_context.paths.autostartEntry);
}

void KorvelWindow::saveSettings()
{
    guarded(this, [this] { saveSettingsFromForm(this, ui, *m_context.settings, m_context.paths); });
}

void KorvelWindow::preview()
{
    guarded(this, [this] {
        if (previewWindow *shown = showPreview(this, ui, m_context))
            newWindow = shown;
    });
}

void KorvelWindow::changeAutostart()
{
    guarded(this, [this] { switchAutostart(ui.cbAutostart, this, m_context.paths); });
}

} // namespace korvel
