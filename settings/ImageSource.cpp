#include "ImageSource.h"

#include "app/FileDescriptor.h"

#include <QBuffer>
#include <QImageReader>

#include <cerrno>
#include <sys/stat.h>

namespace korvel {

namespace {

ImageSource::Problem openProblem(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return ImageSource::Problem::Missing;
    case EACCES:
    case EPERM:
        return ImageSource::Problem::NotReadable;
    case ENXIO: // a socket, or a device without its driver
    case ENODEV:
        return ImageSource::Problem::NotRegularFile;
    default:
        return ImageSource::Problem::ReadFailed;
    }
}

} // namespace

ImageSource ImageSource::read(const QString &path)
{
    ImageSource source;
    source.m_path = path;

    const FileDescriptor fd = FileDescriptor::openForReading(path);
    if (fd.get() < 0) {
        source.m_problem = openProblem(fd.openError());
        return source;
    }
    struct stat status = {};
    if (::fstat(fd.get(), &status) != 0) {
        source.m_problem = Problem::ReadFailed;
        return source;
    }
    if (S_ISDIR(status.st_mode)) {
        source.m_problem = Problem::Directory;
        return source;
    }
    if (!S_ISREG(status.st_mode)) {
        source.m_problem = Problem::NotRegularFile;
        return source;
    }
    if (status.st_size > MaxSize) {
        source.m_problem = Problem::TooLarge;
        return source;
    }

    // Read to the end, not just st_size bytes: the file may be growing.
    FileDescriptor::Content loaded = fd.readToEnd(MaxSize, status.st_size);
    if (loaded.tooLarge) {
        source.m_problem = Problem::TooLarge;
        return source;
    }
    if (loaded.error != 0) {
        source.m_problem = loaded.error == EACCES ? Problem::NotReadable : Problem::ReadFailed;
        return source;
    }
    QByteArray &content = loaded.bytes;

    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    if (!reader.canRead()) {
        source.m_problem = Problem::NotAnImage;
        return source;
    }

    source.m_problem = Problem::None;
    source.m_content = content;
    source.m_device = status.st_dev;
    source.m_inode = status.st_ino;
    return source;
}

} // namespace korvel
