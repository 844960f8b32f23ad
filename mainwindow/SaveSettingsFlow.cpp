#include "SaveSettingsFlow.h"

#include "base/Paths.h"
#include "base/ReplacementFile.h"
#include "mainwindow/FormSettings.h"
#include "mainwindow/ImageChoice.h"
#include "mainwindow/Messages.h"
#include "mainwindow/Ui_MainWindow.h"
#include "settings/ImageSource.h"
#include "settings/SettingsFile.h"

#include <QLineEdit>
#include <QMessageBox>

#include <cerrno>
#include <optional>
#include <sys/stat.h>

namespace korvel {

namespace {

constexpr mode_t WallpaperMode = 0664;

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
    case ImageSource::Problem::TooManyPixels:
        return text(msg::ImageTooManyPixels).arg(ImageSource::MaxPixels).arg(ImageSource::MaxSide);
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

// The checked image to install; nullopt after a warning.
std::optional<QByteArray> imageToInstall(const ImageChoice &choice, const QString &shown)
{
    ImageSource source;
    if (choice.stored) {
        FileDescriptor::WholeFile file = FileDescriptor::readRegularFile(
            choice.path, ImageSource::MaxSize, FileDescriptor::Links::Refuse);
        using Problem = FileDescriptor::WholeFile::Problem;
        // Nothing installed: the path in the field is not read instead.
        if (file.problem == Problem::Missing) {
            warn(text(msg::ImageUnusable).arg(shown, text(msg::ImageMissing)));
            return std::nullopt;
        }
        // A second name of the wallpaper may be any file of this file system.
        if (file.problem == Problem::None && file.links > 1) {
            warn(text(msg::ImageUnusable).arg(choice.path, text(msg::ImageNotRegularFile)));
            return std::nullopt;
        }
        source = file.problem == Problem::None
                     ? ImageSource::fromContent(choice.path, std::move(file.bytes))
                     : ImageSource::read(choice.path, FileDescriptor::Links::Refuse);
    } else {
        source = ImageSource::read(choice.path, choice.links);
    }
    if (!source.isValid()) {
        warn(text(msg::ImageUnusable).arg(source.path(), imageProblem(source.problem())));
        return std::nullopt;
    }
    return source.content();
}

} // namespace

void saveSettingsFromForm(QWidget *window, const Ui_MainWindow &ui, const SettingsFile &settings,
                          const Paths &paths)
{
    const QMessageBox::StandardButton answer =
        QMessageBox::question(window, text(msg::SaveQuestionTitle), text(msg::SaveQuestionText),
                              QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes)
        return;
    const QString chosen = ui.lineBrowse->text();
    if (chosen.isEmpty()) {
        warn(text(msg::NoImageChosen));
        return;
    }
    if (!settings.isWritable()) {
        warn(text(msg::SettingsNotWritable));
        return;
    }
    const std::optional<QByteArray> image =
        imageToInstall(chosenImage(ui, paths.wallpaper), chosen);
    if (!image)
        return;

    // Both new files are complete beside the old ones before either changes;
    // the wallpaper replaces the old one only once the settings are in place.
    ReplacementFile wallpaper(paths.wallpaper, WallpaperMode);
    if (!wallpaper.prepare(*image)) {
        warn(text(msg::WallpaperFailed).arg(paths.wallpaper, writeProblem(wallpaper.error())));
        return;
    }
    const QByteArray before = settings.read().bytes;
    const QByteArray after =
        SettingsFile::withValues(before, settingsFromForm(ui, paths.wallpaper));
    if (settings.replace(after) != 0) {
        warn(text(msg::SettingsWriteFailed).arg(settings.path()));
        return;
    }
    if (!wallpaper.commit()) {
        const QString reason = writeProblem(wallpaper.error());
        if (settings.replace(before) == 0)
            warn(text(msg::WallpaperFailed).arg(paths.wallpaper, reason));
        else
            warn(text(msg::WallpaperFailedSettingsKept)
                     .arg(paths.wallpaper, reason, settings.path()));
        return;
    }

    QMessageBox::information(nullptr, text(msg::SavedTitle), text(msg::SavedText));
}

} // namespace korvel
