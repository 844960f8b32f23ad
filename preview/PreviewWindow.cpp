#include "PreviewWindow.h"

#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

namespace korvel {

PreviewWindow::PreviewWindow(const FormClass &form, const QString &imageFile, const QImage &image)
    : QWidget(nullptr), m_form(form)
{
    m_form.setupUi(this);
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

void PreviewWindow::closeWindow(const QString &imageFile)
{
    close();
    QFile::remove(imageFile);
}

} // namespace korvel
