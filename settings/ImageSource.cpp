#include "ImageSource.h"

#include "app/FileDescriptor.h"

#include <QBuffer>
#include <QFile>
#include <QImageReader>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

    const QByteArray native = QFile::encodeName(path);
    const FileDescriptor fd(
        ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (fd.get() < 0) {
        source.m_problem = openProblem(errno);
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
    QByteArray content(static_cast<int>(status.st_size) + 1, Qt::Uninitialized);
    qint64 used = 0;
    for (;;) {
        if (used == content.size()) {
            if (content.size() > MaxSize) {
                source.m_problem = Problem::TooLarge;
                return source;
            }
            content.resize(static_cast<int>(qMin<qint64>(MaxSize + 1, qint64(content.size()) * 2)));
        }
        const ssize_t got =
            ::read(fd.get(), content.data() + used, static_cast<size_t>(content.size() - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            source.m_problem = errno == EACCES ? Problem::NotReadable : Problem::ReadFailed;
            return source;
        }
        if (got == 0)
            break;
        used += got;
    }
    if (used > MaxSize) {
        source.m_problem = Problem::TooLarge;
        return source;
    }
    content.truncate(static_cast<int>(used));

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
