#include "FileDescriptor.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace korvel {

FileDescriptor::~FileDescriptor()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

FileDescriptor FileDescriptor::openForReading(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    int fd = -1;
    do {
        fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
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

} // namespace korvel
