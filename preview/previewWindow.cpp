#include "previewWindow.h"

#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

namespace korvel {

previewWindow::previewWindow(const FormClass &form, const QString &imageFile, const QImage &image)
    : QWidget(nullptr), preview(form)
{
    preview.setupUi(this);
    auto *label = new QLabel(this);
    // The pixels are in memory already; reading the file back would only cost time.
    const QPixmap pixmap = QPixmap::fromImage(image);
    label->setPixmap(pixmap);
    // One image pixel per screen pixel, whatever layout the form gives the window.
    label->resize(pixmap.size());
    // A precise timer: a coarse one may fire up to 5 % late.
    QTimer::singleShot(ShowMilliseconds, Qt::PreciseTimer, this, [this, imageFile] {
        closeWindow(imageFile);
        deleteLater();
    });
}

void previewWindow::closeWindow(const QString &imageFile)
{
    close();
    QFile::remove(imageFile);
}

} // namespace korvel
