#include "ImageSource.h"

namespace korvel {

ImageSource ImageSource::read(const QString &path, FileDescriptor::Links links)
{
    ImageSource source;
    source.m_path = path;

    FileDescriptor::WholeFile file = FileDescriptor::readRegularFile(path, MaxSize, links);
    if (file.problem != FileProblem::None) {
        source.m_fileProblem = file.problem;
        return source;
    }
    return fromContent(path, std::move(file.bytes));
}

ImageSource ImageSource::fromContent(const QString &path, QByteArray content)
{
    ImageSource source;
    source.m_path = path;
    source.m_fileProblem = FileProblem::None;
    const ImageHeader header = ImageHeader::read(content);
    if (header.format != ImageHeader::Format::Unknown && header.exceeds(MaxPixels)) {
        source.m_refusal = Refusal::TooManyPixels;
        return source;
    }
    if (header.format == ImageHeader::Format::Unknown || header.beyondLimits) {
        source.m_refusal = Refusal::NotAnImage;
        return source;
    }
    source.m_format = header.format;
    source.m_content = std::move(content);
    return source;
}

} // namespace korvel
