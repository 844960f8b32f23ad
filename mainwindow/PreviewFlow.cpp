#include "PreviewFlow.h"

#include "mainwindow/AppContext.h"
#include "mainwindow/FormSettings.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/Messages.h"
#include "picture/JobFromSettings.h"
#include "picture/PictureComposition.h"
#include "preview/PreviewRun.h"
#include "preview/PreviewWindow.h"
#include "preview/ScreenDesktop.h"

#include <QDir>
#include <QLineEdit>
#include <QMessageBox>

#include <exception>
#include <memory>

namespace korvel {

namespace {

void warn(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, QString::fromUtf8(msg::ErrorTitle), text);
}

QString failureText(PictureFailure failure, const PictureJob &job)
{
    switch (failure) {
    case PictureFailure::ImageUnreadable:
        return QString::fromUtf8(msg::PreviewImageUnreadable) + job.imagePath;
    case PictureFailure::ImageTooLarge:
        return QString::fromUtf8(msg::PreviewImageTooLarge) + job.imagePath;
    case PictureFailure::FontUnusable:
        return QString::fromUtf8(msg::PreviewFontUnusable) + job.fontPath;
    case PictureFailure::FontSizeRefused:
    case PictureFailure::None:
        break;
    }
    return QString::fromUtf8(msg::PreviewFontSizeRefused) + QString::number(job.fontPixelSize);
}

} // namespace

PreviewWindow *showPreview(QWidget *mainWindow, const MainForm &ui, const AppContext &context)
{
    const QString imagePath = ui.lineBrowse->text();
    if (imagePath.isEmpty()) {
        warn(mainWindow, QString::fromUtf8(msg::NoImageChosen));
        return nullptr;
    }
    // The preview shows what the desktop shows on the monitor the window is on.
    const DisplayDesktop desktop = screenDesktop();
    // A path that came from the settings file shows the installed wallpaper (see ImageChoice).
    const ImageChoice image = chosenImage(ui, context.paths.wallpaper);
    PictureJob job = jobFromSettings(settingsFromForm(ui, context.paths.wallpaper), image.path,
                                     desktop.size, context.paths.font);
    job.imageLinks = image.links;
    job.monitors = desktop.monitors;
    job.shownMonitor =
        desktop.monitors.monitorAt(desktop.size, mainWindow->frameGeometry().center());
    const QRect monitor = desktop.monitors.monitors(desktop.size).at(job.shownMonitor);

    // The window is made first: its memory gets ready while the picture is composed.
    std::unique_ptr<PreviewWindow> window;
    QString failure;
    try {
        window = std::make_unique<PreviewWindow>(*context.previewForm, monitor);
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(msg::PreviewWindowFailed) + QString::fromUtf8(error.what());
    }
    PreviewRun run = PreviewRun::start(job, context.paths.tempDir);
    const QString tempNotWritable = QString::fromUtf8(msg::PreviewTempNotWritable) +
                                    QDir::toNativeSeparators(context.paths.tempDir);
    if (run.result() == PreviewRun::Result::PictureFailed) {
        window.reset();
        warn(mainWindow, failureText(run.pictureFailure(), job));
        return nullptr;
    }
    if (run.result() == PreviewRun::Result::TempNotWritable) {
        window.reset();
        warn(mainWindow, tempNotWritable);
        return nullptr;
    }
    // The file is written on a second thread from the moment the picture is made.
    if (!run.finish() && failure.isEmpty())
        failure = tempNotWritable;
    if (!failure.isEmpty()) {
        window.reset();
        run.discard();
        warn(mainWindow, failure);
        return nullptr;
    }
    window->showImage(run.path(), run.picture());
    // It releases itself once its timer has fired.
    return window.release();
}

} // namespace korvel
