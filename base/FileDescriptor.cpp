#include "FileDescriptor.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace korvel {

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileDescriptor FileDescriptor::openForReading(const QString &path, Links links)
{
    const QByteArray native = QFile::encodeName(path);
    const int flags =
        O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (links == Links::Refuse ? O_NOFOLLOW : 0);
    int fd = -1;
    do {
        fd = ::open(native.constData(), flags);
    } while (fd < 0 && errno == EINTR);
    FileDescriptor file(fd);
    if (fd < 0)
        file.m_error = errno;
    return file;
}

FileDescriptor::Content FileDescriptor::readToEnd(qint64 limit, qint64 expected) const
{
    Content content;
    QByteArray &bytes = content.bytes;
    // One byte more than the limit tells a file of exactly the limit from a larger one.
    bytes.resize(static_cast<int>(qMin(qMax<qint64>(4096, expected + 1), limit + 1)));
    qint64 used = 0;
    for (;;) {
        if (used == bytes.size()) {
            if (used > limit) {
                bytes.clear();
                content.tooLarge = true;
                return content;
            }
            bytes.resize(static_cast<int>(qMin(limit + 1, qint64(bytes.size()) * 2)));
        }
        const ssize_t got =
            ::read(m_fd, bytes.data() + used, static_cast<size_t>(bytes.size() - used));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            bytes.clear();
            content.error = errno;
            return content;
        }
        if (got == 0)
            break;
        used += got;
    }
    if (used > limit) {
        bytes.clear();
        content.tooLarge = true;
        return content;
    }
    bytes.truncate(static_cast<int>(used));
    return content;
}

FileDescriptor::WholeFile FileDescriptor::readRegularFile(const QString &path, qint64 limit,
                                                          Links links)
{
    using Problem = WholeFile::Problem;
    WholeFile file;
    const auto failed = [&file](Problem problem, int error = 0) {
        file.problem = problem;
        file.error = error;
        file.bytes.clear();
        return file;
    };
    const FileDescriptor fd = openForReading(path, links);
    if (fd.get() < 0) {
        switch (fd.openError()) {
        case ENOENT:
        case ENOTDIR:
            return failed(Problem::Missing, fd.openError());
        case EACCES:
        case EPERM:
            return failed(Problem::NotReadable, fd.openError());
        case ELOOP: // a link where links are refused
        case ENXIO: // a socket, or a device without its driver
        case ENODEV:
            return failed(Problem::NotRegularFile, fd.openError());
        default:
            return failed(Problem::ReadFailed, fd.openError());
        }
    }
    struct stat status = {};
    if (::fstat(fd.get(), &status) != 0)
        return failed(Problem::ReadFailed, errno);
    if (S_ISDIR(status.st_mode))
        return failed(Problem::Directory);
    if (!S_ISREG(status.st_mode))
        return failed(Problem::NotRegularFile);
    if (status.st_size > limit)
        return failed(Problem::TooLarge);
    file.owner = status.st_uid;
    file.mode = status.st_mode & 07777;
    file.links = status.st_nlink;
    // Read to the end, not just st_size bytes: the file may be growing.
    Content content = fd.readToEnd(limit, status.st_size);
    if (content.tooLarge)
        return failed(Problem::TooLarge);
    if (content.error != 0)
        return failed(content.error == EACCES ? Problem::NotReadable : Problem::ReadFailed,
                      content.error);
    file.bytes = std::move(content.bytes);
    return file;
}

} // namespace korvel
