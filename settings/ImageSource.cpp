#include "ImageSource.h"

#include <QBuffer>
#include <QImageReader>

namespace korvel {

ImageSource ImageSource::read(const QString &path, FileDescriptor::Links links)
{
    ImageSource source;
    source.m_path = path;

    FileDescriptor::WholeFile file = FileDescriptor::readRegularFile(path, MaxSize, links);
    using FileProblem = FileDescriptor::WholeFile::Problem;
    switch (file.problem) {
    case FileProblem::None:
        break;
    case FileProblem::Missing:
        source.m_problem = Problem::Missing;
        return source;
    case FileProblem::NotReadable:
        source.m_problem = Problem::NotReadable;
        return source;
    case FileProblem::Directory:
        source.m_problem = Problem::Directory;
        return source;
    case FileProblem::NotRegularFile:
        source.m_problem = Problem::NotRegularFile;
        return source;
    case FileProblem::TooLarge:
        source.m_problem = Problem::TooLarge;
        return source;
    case FileProblem::ReadFailed:
        source.m_problem = Problem::ReadFailed;
        return source;
    }

    return fromContent(path, std::move(file.bytes));
}

ImageSource ImageSource::fromContent(const QString &path, QByteArray content)
{
    ImageSource source;
    source.m_path = path;
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QSize declared = reader.canRead() ? reader.size() : QSize();
    if (!declared.isValid() || declared.isEmpty()) {
        source.m_problem = Problem::NotAnImage;
        return source;
    }
    if (qint64(declared.width()) * declared.height() > MaxPixels) {
        source.m_problem = Problem::TooManyPixels;
        return source;
    }
    buffer.close();
    source.m_problem = Problem::None;
    source.m_content = std::move(content);
    return source;
}

} // namespace korvel
