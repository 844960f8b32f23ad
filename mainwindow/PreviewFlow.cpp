#include "PreviewFlow.h"

#include "mainwindow/AppContext.h"
#include "mainwindow/FormSettings.h"
#include "mainwindow/Messages.h"
#include "mainwindow/Ui_MainWindow.h"
#include "picture/JobFromSettings.h"
#include "picture/PngWriter.h"
#include "preview/PreviewImage.h"
#include "preview/TemporaryImage.h"
#include "preview/previewWindow.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>

#include <exception>
#include <future>
#include <memory>

namespace korvel {

namespace {

void warn(QWidget *parent, const QString &text)
{
    QMessageBox::warning(parent, QString::fromUtf8(msg::ErrorTitle), text);
}

QString failureText(PreviewFailure failure, const PreviewJob &job)
{
    switch (failure) {
    case PreviewFailure::ImageUnreadable:
        return QString::fromUtf8(msg::PreviewImageUnreadable) + job.imagePath;
    case PreviewFailure::ImageTooLarge:
        return QString::fromUtf8(msg::PreviewImageTooLarge) + job.imagePath;
    case PreviewFailure::FontUnusable:
        return QString::fromUtf8(msg::PreviewFontUnusable) + job.fontPath;
    case PreviewFailure::FontSizeRefused:
    case PreviewFailure::None:
        break;
    }
    return QString::fromUtf8(msg::PreviewFontSizeRefused) + QString::number(job.fontPixelSize);
}

} // namespace

previewWindow *showPreview(QWidget *mainWindow, const Ui_MainWindow &ui, const AppContext &context)
{
    const QString imagePath = ui.lineBrowse->text();
    if (imagePath.isEmpty()) {
        warn(mainWindow, QString::fromUtf8(msg::NoImageChosen));
        return nullptr;
    }
    const QDesktopWidget *desktop = QApplication::desktop();
    // A path that came from the settings file shows the installed wallpaper (see ImageChoice).
    const ImageChoice image = chosenImage(ui, context.paths.wallpaper);
    PreviewJob job =
        jobFromSettings(settingsFromForm(ui, context.paths.wallpaper), image.path,
                        QSize(desktop->width(), desktop->height()), context.paths.font);
    job.imageLinks = image.links;

    const ComposedPreview composed = composePreviewImage(job);
    if (composed.failure != PreviewFailure::None) {
        warn(mainWindow, failureText(composed.failure, job));
        return nullptr;
    }
    // The window shows exactly what the file holds: an image with alpha in its
    // unpremultiplied form, as it is written.
    const QImage shown = composed.image.hasAlphaChannel()
                             ? composed.image.convertToFormat(QImage::Format_ARGB32)
                             : composed.image;
    std::optional<TemporaryImageFile> file = createTemporaryImageFile(context.paths.tempDir);
    if (!file) {
        warn(mainWindow, QString::fromUtf8(msg::PreviewTempNotWritable) +
                             QDir::toNativeSeparators(context.paths.tempDir));
        return nullptr;
    }
    // The file is written on a second thread while the window is built here.
    std::future<bool> written = std::async(
        std::launch::async, [&shown, &file] { return writeFastPng(shown, file->fd.get()); });
    std::unique_ptr<previewWindow> window;
    QString failure;
    try {
        window = std::make_unique<previewWindow>(*context.previewForm, file->path, shown);
    } catch (const std::exception &error) {
        failure = QString::fromUtf8(msg::PreviewWindowFailed) + QString::fromUtf8(error.what());
    }
    if (!written.get() && failure.isEmpty())
        failure = QString::fromUtf8(msg::PreviewTempNotWritable) +
                  QDir::toNativeSeparators(context.paths.tempDir);
    if (!failure.isEmpty()) {
        window.reset();
        QFile::remove(file->path);
        warn(mainWindow, failure);
        return nullptr;
    }

    window->setWindowTitle(QString());
    // Where no window manager acts on the full-screen request, the window
    // still covers the desktop instead of keeping the form's size.
    window->setGeometry(QApplication::desktop()->geometry());
    window->showFullScreen();
    // It releases itself once its timer has fired.
    return window.release();
}

} // namespace korvel
