#include "PreviewFlow.h"

#include "app/AppContext.h"
#include "app/Messages.h"
#include "mainwindow/Ui_MainWindow.h"
#include "preview/JobFromSettings.h"
#include "preview/PreviewImage.h"
#include "preview/TemporaryImage.h"
#include "preview/previewWindow.h"
#include "settings/FormSettings.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMessageBox>

#include <exception>

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
    const PreviewJob job =
        jobFromSettings(settingsFromForm(ui, context.paths.wallpaper), imagePath,
                        QSize(desktop->width(), desktop->height()), context.paths.font);

    const ComposedPreview composed = composePreviewImage(job);
    if (composed.failure != PreviewFailure::None) {
        warn(mainWindow, failureText(composed.failure, job));
        return nullptr;
    }
    const std::optional<QString> file = writeTemporaryImage(composed.image, context.paths.tempDir);
    if (!file) {
        warn(mainWindow, QString::fromUtf8(msg::PreviewTempNotWritable) +
                             QDir::toNativeSeparators(context.paths.tempDir));
        return nullptr;
    }

    previewWindow *window = nullptr;
    try {
        window = new previewWindow(*context.previewForm, *file);
    } catch (const std::exception &error) {
        QFile::remove(*file);
        warn(mainWindow,
             QString::fromUtf8(msg::PreviewWindowFailed) + QString::fromUtf8(error.what()));
        return nullptr;
    }
    window->setWindowTitle(QString());
    // Where no window manager acts on the full-screen request, the window
    // still covers the desktop instead of keeping the form's size.
    window->setGeometry(QApplication::desktop()->geometry());
    window->showFullScreen();
    return window;
}

} // namespace korvel
