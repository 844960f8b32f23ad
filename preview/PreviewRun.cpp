#include "PreviewRun.h"

#include "picture/PngWriter.h"

#include <QFile>

#include <utility>

namespace korvel {

PreviewRun PreviewRun::start(const PictureJob &job, const QString &tempDir)
{
    PreviewRun run;
    const ComposedPicture composed = composePicture(job);
    if (composed.failure != PictureFailure::None) {
        run.m_result = Result::PictureFailed;
        run.m_pictureFailure = composed.failure;
        return run;
    }
    run.m_picture = composed.image.hasAlphaChannel()
                        ? composed.image.convertToFormat(QImage::Format_ARGB32)
                        : composed.image;
    std::optional<TemporaryImageFile> file = createTemporaryImageFile(tempDir);
    if (!file) {
        run.m_result = Result::TempNotWritable;
        return run;
    }
    run.m_file.emplace(std::move(*file));
    run.m_written =
        std::async(std::launch::async, [image = run.m_picture, fd = run.m_file->fd.get()] {
            return writeFastPng(image, fd);
        });
    return run;
}

PreviewRun::~PreviewRun()
{
    if (m_written.valid())
        m_written.wait();
}

const QString &PreviewRun::path() const
{
    static const QString none;
    return m_file ? m_file->path : none;
}

bool PreviewRun::finish()
{
    return m_written.valid() && m_written.get();
}

void PreviewRun::discard()
{
    if (m_written.valid())
        m_written.wait();
    if (m_file)
        QFile::remove(m_file->path);
}

} // namespace korvel
