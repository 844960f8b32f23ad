#include "AutostartControl.h"

#include "autostart/AutostartCommand.h"
#include "autostart/AutostartEntry.h"
#include "autostart/AutostartSwitch.h"
#include "mainwindow/Messages.h"

#include <QCheckBox>
#include <QMessageBox>

namespace korvel {

namespace {

void showFailure(const QString &text)
{
    QMessageBox::critical(nullptr, QString::fromUtf8(msg::AutostartErrorTitle), text,
                          QMessageBox::Ok);
}

} // namespace

void loadAutostartState(QCheckBox *box, const QString &entryPath)
{
    const AutostartReading reading = readAutostartEntry(entryPath);
    if (reading.failed()) {
        showFailure(reading.failureText(entryPath));
        return;
    }
    if (reading.enabled)
        box->setChecked(*reading.enabled);
}

void switchAutostart(QCheckBox *box, QWidget *window, const Paths &paths)
{
    const bool enable = box->isChecked();
    const SwitchRun run =
        runSwitchCommand(paths.shell, autostartCommand(enable, paths.autostartEntry));
    if (!run.succeeded()) {
        showFailure(run.failureText());
        box->setChecked(!enable);
        return;
    }
    QMessageBox::information(window, QString::fromUtf8(msg::AutostartDoneTitle),
                             QString::fromUtf8(enable ? msg::AutostartOn : msg::AutostartOff));
}

} // namespace korvel
