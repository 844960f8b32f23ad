#pragma once

#include "picture/PictureComposition.h"
#include "preview/TemporaryImage.h"

#include <QImage>

#include <future>
#include <optional>

namespace korvel {

// One preview, without widgets: the picture composed for a job and its PNG
// written to a new temporary file on a second thread, so that the caller can
// build the window meanwhile.
class PreviewRun
{
public:
    enum class Result { Started, PictureFailed, TempNotWritable };

    // Composes the picture and, when that worked, starts writing it to a new
    // file in `tempDir`.
    static PreviewRun start(const PictureJob &job, const QString &tempDir);
    PreviewRun(PreviewRun &&) = default;
    ~PreviewRun();

    Result result() const { return m_result; }
    // For PictureFailed: why the picture could not be made.
    PictureFailure pictureFailure() const { return m_pictureFailure; }
    // What the file holds: an image with alpha in its unpremultiplied form.
    const QImage &picture() const { return m_picture; }
    const QString &path() const;

    // Waits for the file; false when it could not be written.
    bool finish();
    // Removes the file (after a failure).
    void discard();

private:
    PreviewRun() = default;

    Result m_result = Result::Started;
    PictureFailure m_pictureFailure = PictureFailure::None;
    QImage m_picture;
    std::optional<TemporaryImageFile> m_file;
    std::future<bool> m_written;
};

} // namespace korvel
