#include "SaveSettingsFlow.h"

#include "DisplaySettingsIo.h"
#include "FormSettings.h"
#include "ImageSource.h"
#include "SettingsFileWrite.h"
#include "SettingsSnapshot.h"
#include "WallpaperInstallation.h"
#include "app/Messages.h"
#include "app/Paths.h"
#include "mainwindow/Ui_MainWindow.h"

#include <QLineEdit>
#include <QMessageBox>
#include <QSettings>

#include <cerrno>

namespace korvel {

namespace {

QString text(const char *message)
{
    return QString::fromUtf8(message);
}

void warn(const QString &message)
{
    QMessageBox::warning(nullptr, text(msg::ErrorTitle), message);
}

QString imageProblem(ImageSource::Problem problem)
{
    switch (problem) {
    case ImageSource::Problem::None:
        break;
    case ImageSource::Problem::Missing:
        return text(msg::ImageMissing);
    case ImageSource::Problem::NotReadable:
        return text(msg::ImageNotReadable);
    case ImageSource::Problem::Directory:
        return text(msg::ImageIsFolder);
    case ImageSource::Problem::NotRegularFile:
        return text(msg::ImageNotRegularFile);
    case ImageSource::Problem::TooLarge:
        return text(msg::ImageTooLarge).arg(ImageSource::MaxSize / (1024 * 1024));
    case ImageSource::Problem::ReadFailed:
        return text(msg::ImageReadFailed);
    case ImageSource::Problem::NotAnImage:
        return text(msg::ImageNotAnImage);
    }
    return text(msg::ImageReadFailed);
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

void saveSettingsFromForm(QWidget *window, const Ui_MainWindow &ui, QSettings &settings,
                          const Paths &paths)
{
    const QMessageBox::StandardButton answer =
        QMessageBox::question(window, text(msg::SaveQuestionTitle), text(msg::SaveQuestionText),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    if (ui.lineBrowse->text().isEmpty()) {
        warn(text(msg::NoImageChosen));
        return;
    }
    if (!settings.isWritable()) {
        warn(text(msg::SettingsNotWritable));
        return;
    }
    const ImageSource source = ImageSource::read(ui.lineBrowse->text());
    if (!source.isValid()) {
        warn(text(msg::ImageUnusable).arg(source.path(), imageProblem(source.problem())));
        return;
    }

    // The new wallpaper is complete beside the old one before the settings
    // file changes, and replaces it only once the settings are on the disk.
    WallpaperInstallation wallpaper(source, paths.wallpaper);
    if (!wallpaper.prepare()) {
        warn(text(msg::WallpaperFailed).arg(paths.wallpaper, writeProblem(wallpaper.error())));
        return;
    }

    const SettingsSnapshot before = SettingsSnapshot::take(settings);
    writeDisplaySettings(settings, settingsFromForm(ui, paths.wallpaper));
    if (!writeSettingsFile(settings)) {
        before.restore(settings);
        warn(text(msg::SettingsWriteFailed).arg(settings.fileName()));
        return;
    }
    if (!wallpaper.commit()) {
        before.restore(settings);
        const QString reason = writeProblem(wallpaper.error());
        if (writeSettingsFile(settings))
            warn(text(msg::WallpaperFailed).arg(paths.wallpaper, reason));
        else
            warn(text(msg::WallpaperFailedSettingsKept)
                     .arg(paths.wallpaper, reason, settings.fileName()));
        return;
    }

    QMessageBox::information(nullptr, text(msg::SavedTitle), text(msg::SavedText));
}

} // namespace korvel
