#include "SaveSettingsFlow.h"

#include "FormSettings.h"
#include "ImageSource.h"
#include "SettingsFile.h"
#include "app/Messages.h"
#include "app/Paths.h"
#include "app/ReplacementFile.h"
#include "mainwindow/Ui_MainWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>

#include <cerrno>
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

// Whether two paths name the same file, however they are spelt.
bool sameFile(const QString &a, const QString &b)
{
    struct stat first = {}, second = {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
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
    // In the shared folder a link may have been planted by someone else: an
    // image there is taken only as the regular file it is.
    const bool sharedFolder =
        sameFile(QFileInfo(chosen).absolutePath(), QFileInfo(paths.wallpaper).absolutePath());
    const ImageSource source = ImageSource::read(
        chosen, sharedFolder ? FileDescriptor::Links::Refuse : FileDescriptor::Links::Follow);
    if (!source.isValid()) {
        warn(text(msg::ImageUnusable).arg(source.path(), imageProblem(source.problem())));
        return;
    }

    // Both new files are complete beside the old ones before either changes;
    // the wallpaper replaces the old one only once the settings are in place.
    ReplacementFile wallpaper(paths.wallpaper, WallpaperMode);
    if (!wallpaper.prepare(source.content())) {
        warn(text(msg::WallpaperFailed).arg(paths.wallpaper, writeProblem(wallpaper.error())));
        return;
    }
    const QByteArray before = settings.read().bytes;
    const std::optional<QByteArray> after =
        SettingsFile::withValues(before, settingsFromForm(ui, paths.wallpaper));
    if (!after || settings.replace(*after) != 0) {
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
