#pragma once

#include "preview/PreviewForm.h"

#include <QImage>
#include <QRect>
#include <QString>
#include <QWidget>

#include <future>

namespace korvel {

// Shows one preview image, one image pixel per screen pixel, and 3000 ms after
// it is shown closes itself, removes the image file and releases itself.
// It has no parent: it stays alive until its own timer has fired, however
// early the user closes it or a newer preview replaces it.
class PreviewWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ShowMilliseconds = 3000;

    // The window for the monitor at `geometry`, not yet shown. Its native
    // window and the memory it shares with the display server are made now,
    // and that memory is made ready on another thread while the image is
    // composed: made by the first paint instead, page by page, it would
    // delay showing a full-screen window by tens of milliseconds at 3840x2160.
    PreviewWindow(const FormClass &form, const QRect &geometry);
    ~PreviewWindow() override;

    // Shows `image`, the pixels written to `imageFile`, full screen, and
    // arms the timer.
    void showImage(const QString &imageFile, const QImage &image);

    // Closes the window, then removes `imageFile`.
    void closeWindow(const QString &imageFile);

private:
    // Waits for the memory being made ready and ends that paint.
    void finishPreparing();

    PreviewForm m_form;
    std::future<void> m_prepared;
    bool m_painting = false;
};

} // namespace korvel
