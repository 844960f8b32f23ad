#pragma once

#include "base/FileDescriptor.h"
#include "picture/ImageHeader.h"

#include <QByteArray>
#include <QString>

namespace korvel {

// An image file, read and checked before anything is decoded or written. The
// file is opened without blocking and only a regular file is read, so a FIFO,
// a device such as /dev/zero or a socket is refused at once; its content must
// be no larger than MaxSize, be a PNG or a JPEG (see ImageHeader) and declare at
// most MaxPixels pixels. The checked bytes are the ones that get used, even if
// the file changes afterwards.
class ImageSource
{
public:
    // Why content that was read is refused.
    enum class Refusal { None, NotAnImage, TooManyPixels };

    static constexpr qint64 MaxSize = qint64(256) * 1024 * 1024;
    // The side of the largest square image accepted; larger images would take
    // more memory to decode than a desktop picture is worth.
    static constexpr int MaxSide = 8192;
    static constexpr qint64 MaxPixels = qint64(MaxSide) * MaxSide;

    static ImageSource read(const QString &path,
                            FileDescriptor::Links links = FileDescriptor::Links::Follow);
    // The same checks on content read already.
    static ImageSource fromContent(const QString &path, QByteArray content);

    bool isValid() const
    {
        return m_fileProblem == FileProblem::None && m_refusal == Refusal::None;
    }
    // Why the file could not be read; None when it was.
    FileProblem fileProblem() const { return m_fileProblem; }
    Refusal refusal() const { return m_refusal; }
    const QString &path() const { return m_path; }
    const QByteArray &content() const { return m_content; }
    // The format, which alone may decode the content.
    ImageHeader::Format format() const { return m_format; }

private:
    QString m_path;
    FileProblem m_fileProblem = FileProblem::Missing;
    Refusal m_refusal = Refusal::None;
    ImageHeader::Format m_format = ImageHeader::Format::Unknown;
    QByteArray m_content;
};

} // namespace korvel
