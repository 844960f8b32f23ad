#include "ImageSource.h"

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
    const ImageHeader header = ImageHeader::read(content);
    if (header.format != ImageHeader::Format::Unknown && header.exceeds(MaxPixels)) {
        source.m_problem = Problem::TooManyPixels;
        return source;
    }
    if (header.format == ImageHeader::Format::Unknown || header.beyondLimits) {
        source.m_problem = Problem::NotAnImage;
        return source;
    }
    source.m_problem = Problem::None;
    source.m_format = header.format;
    source.m_content = std::move(content);
    return source;
}

} // namespace korvel
