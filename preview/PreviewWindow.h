#pragma once

#include "preview/PreviewForm.h"

#include <QImage>
#include <QString>
#include <QWidget>

namespace korvel {

// Shows one preview image, one image pixel per screen pixel, and 3000 ms after
// its construction closes itself, removes the image file and releases itself.
// It has no parent: it stays alive until its own timer has fired, however
// early the user closes it or a newer preview replaces it.
class PreviewWindow : public QWidget
{
    Q_OBJECT

public:
    static constexpr int ShowMilliseconds = 3000;

    // Shows `image`, the pixels written to `imageFile`, and arms the timer;
    // does not show the window.
    PreviewWindow(const FormClass &form, const QString &imageFile, const QImage &image);

    // Closes the window, then removes `imageFile`.
    void closeWindow(const QString &imageFile);

private:
    PreviewForm m_form;
};

} // namespace korvel
