#include "PreviewWindow.h"

#include <QBackingStore>
#include <QFile>
#include <QLabel>
#include <QPixmap>
#include <QTimer>

#include <cstring>
#include <system_error>

namespace korvel {

PreviewWindow::PreviewWindow(const FormClass &form, const QRect &geometry)
    : QWidget(nullptr), m_form(form)
{
    m_form.setupUi(this);
    // Where no window manager acts on the full-screen request, the window
    // still covers its monitor instead of keeping the form's size.
    setGeometry(geometry);
    winId();
    QBackingStore *store = backingStore();
    if (store == nullptr)
        return;
    store->resize(geometry.size());
    store->beginPaint(QRect(QPoint(0, 0), geometry.size()));
    m_painting = true;
    QPaintDevice *device = store->paintDevice();
    if (device == nullptr || device->devType() != QInternal::Image)
        return;
    // Black until the image is painted over it when the window is shown.
    QImage *memory = static_cast<QImage *>(device);
    const auto blacken = [bits = memory->bits(), bytes = size_t(memory->sizeInBytes())] {
        std::memset(bits, 0, bytes);
    };
    try {
        m_prepared = std::async(std::launch::async, blacken);
    } catch (const std::system_error &) {
        blacken();
    }
}

PreviewWindow::~PreviewWindow()
{
    finishPreparing();
}

void PreviewWindow::finishPreparing()
{
    if (m_prepared.valid())
        m_prepared.wait();
    if (m_painting)
        backingStore()->endPaint();
    m_painting = false;
}

void PreviewWindow::showImage(const QString &imageFile, const QImage &image)
{
    finishPreparing();
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
    setWindowTitle(QString());
    showFullScreen();
}

void PreviewWindow::closeWindow(const QString &imageFile)
{
    close();
    QFile::remove(imageFile);
}

} // namespace korvel
