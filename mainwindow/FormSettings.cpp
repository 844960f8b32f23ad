#include "FormSettings.h"

#include "base/Diagnostics.h"
#include "mainwindow/MainForm.h"
#include "settings/DisplaySettingsIo.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsKeys.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>

#include <sys/stat.h>

namespace korvel {

namespace {

bool checked(const QCheckBox *box)
{
    return box->checkState() != Qt::Unchecked;
}

} // namespace

DisplaySettings settingsFromForm(const MainForm &ui, const QString &wallpaper)
{
    DisplaySettings v;
    v.Username = checked(ui.cbUsername);
    v.IPaddress = checked(ui.cbIPaddress);
    v.Netmask = checked(ui.cbNetmask);
    v.Gateway = checked(ui.cbGateway);
    v.Hostname = checked(ui.cbHostname);
    v.Over = checked(ui.cbOver);
    v.OverText = v.Over ? ui.textEdit->toPlainText() : QString();
    v.Color = ui.comboBox->currentIndex();
    v.FontSize = ui.spinBox->text();
    v.Logo = checked(ui.cbLogo);
    if (ui.radioButton->isChecked())
        v.Position = QString::fromLatin1(keys::PositionLeft);
    else if (ui.radioButton_2->isChecked())
        v.Position = QString::fromLatin1(keys::PositionCenter);
    else
        v.Position = QString::fromLatin1(keys::PositionRight);
    v.OriginalImage = ui.lineBrowse->text();
    v.Image = wallpaper;
    return v;
}

void applyToForm(const StoredDisplaySettings &stored, MainForm &ui)
{
    const DisplaySettings &v = stored.values;
    ui.cbUsername->setChecked(v.Username);
    ui.cbIPaddress->setChecked(v.IPaddress);
    ui.cbNetmask->setChecked(v.Netmask);
    ui.cbGateway->setChecked(v.Gateway);
    ui.cbHostname->setChecked(v.Hostname);
    ui.cbOver->setChecked(v.Over);
    if (stored.overStoredAsTrueText)
        ui.textEdit->setEnabled(true);
    ui.textEdit->setPlainText(v.OverText);

    ui.comboBox->setCurrentIndex(v.Color);
    ui.spinBox->setValue(v.FontSize.toInt());
    ui.cbLogo->setChecked(v.Logo);
    ui.lineBrowse->setText(v.OriginalImage);
    ui.storedImage = v.OriginalImage;
    if (v.Position == QLatin1String(keys::PositionLeft))
        ui.radioButton->setChecked(true);
    else if (v.Position == QLatin1String(keys::PositionCenter))
        ui.radioButton_2->setChecked(true);
    else if (v.Position == QLatin1String(keys::PositionRight))
        ui.radioButton_3->setChecked(true);
}

void loadSettingsIntoForm(const SettingsFile &settings, MainForm &ui)
{
    const StoredDisplaySettings stored = settings.readDisplaySettings();
    for (const QString &line : stored.diagnostics(settings.path()))
        printDiagnostic(line);
    applyToForm(stored, ui);
}

namespace {

// Whether two paths name the same file, however they are spelt.
bool sameFile(const QString &a, const QString &b)
{
    struct stat first = {}, second = {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace

ImageChoice chosenImage(const MainForm &ui, const QString &wallpaper)
{
    const QString shown = ui.lineBrowse->text();
    if (!shown.isEmpty() && shown == ui.storedImage)
        return {wallpaper, FileDescriptor::Links::Refuse, true};
    const bool sharedFolder =
        sameFile(QFileInfo(shown).absolutePath(), QFileInfo(wallpaper).absolutePath());
    return {shown, sharedFolder ? FileDescriptor::Links::Refuse : FileDescriptor::Links::Follow,
            false};
}

} // namespace korvel
