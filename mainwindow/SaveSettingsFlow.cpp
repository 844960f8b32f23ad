#include "SaveSettingsFlow.h"

#include "base/Paths.h"
#include "mainwindow/FormSettings.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/Messages.h"
#include "save/SaveJob.h"
#include "settings/SettingsFile.h"

#include <QLineEdit>
#include <QMessageBox>

#include <cerrno>

namespace korvel {

namespace {

QString text(const char *message)
{
    return QString::fromUtf8(message);
}

QString imageProblem(FileProblem problem, ImageSource::Refusal refusal)
{
    switch (problem) {
    case FileProblem::None:
        break;
    case FileProblem::Missing:
        return text(msg::ImageMissing);
    case FileProblem::NotReadable:
        return text(msg::ImageNotReadable);
    case FileProblem::Directory:
        return text(msg::ImageIsFolder);
    case FileProblem::NotRegularFile:
        return text(msg::ImageNotRegularFile);
    case FileProblem::TooLarge:
        return text(msg::ImageTooLarge).arg(ImageSource::MaxSize / (1024 * 1024));
    case FileProblem::ReadFailed:
        return text(msg::ImageReadFailed);
    }
    if (refusal == ImageSource::Refusal::TooManyPixels)
        return text(msg::ImageTooManyPixels).arg(ImageSource::MaxPixels).arg(ImageSource::MaxSide);
    return text(msg::ImageNotAnImage);
}

QString writeProblem(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return text(msg::WriteNoPermission);
    case ENOSPC:
    case EDQUOT:
        return text(msg::WriteNoSpace);
    case EROFS:
        return text(msg::WriteReadOnly);
    case ENOENT:
    case ENOTDIR:
        return text(msg::WriteFolderMissing);
    default:
        return text(msg::WriteOtherError).arg(error);
    }
}

} // namespace

QString saveFailureText(const SaveOutcome &outcome, const QString &settingsPath)
{
    using Result = SaveOutcome::Result;
    switch (outcome.result) {
    case Result::Saved:
        break;
    case Result::NoImageChosen:
        return text(msg::NoImageChosen);
    case Result::SettingsNotWritable:
        return text(msg::SettingsNotWritable);
    case Result::ImageUnusable:
        return text(msg::ImageUnusable)
            .arg(outcome.path, imageProblem(outcome.fileProblem, outcome.imageRefusal));
    case Result::WallpaperFailed:
        return text(msg::WallpaperFailed).arg(outcome.path, writeProblem(outcome.writeError));
    case Result::SettingsWriteFailed:
        return text(msg::SettingsWriteFailed).arg(outcome.path);
    case Result::WallpaperFailedSettingsKept:
        return text(msg::WallpaperFailedSettingsKept)
            .arg(outcome.path, writeProblem(outcome.writeError), settingsPath);
    }
    return QString();
}

void saveSettingsFromForm(QWidget *window, const MainForm &ui, const SettingsFile &settings,
                          const Paths &paths)
{
    const QMessageBox::StandardButton answer =
        QMessageBox::question(window, text(msg::SaveQuestionTitle), text(msg::SaveQuestionText),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    const SaveRequest request{ui.lineBrowse->text(), chosenImage(ui, paths.wallpaper),
                              settingsFromForm(ui, paths.wallpaper)};
    const SaveOutcome outcome = runSave(request, settings, paths.wallpaper);
    if (outcome.result == SaveOutcome::Result::Saved)
        QMessageBox::information(nullptr, text(msg::SavedTitle), text(msg::SavedText));
    else
        QMessageBox::warning(nullptr, text(msg::ErrorTitle),
                             saveFailureText(outcome, settings.path()));
}

} // namespace korvel
