#pragma once

#include <QByteArray>
#include <QString>

namespace korvel {

// Owns an open file descriptor and closes it on every way out of a scope.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    FileDescriptor(FileDescriptor &&other) noexcept : m_fd(other.m_fd), m_error(other.m_error)
    {
        other.m_fd = -1;
    }
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor &) = delete;
    FileDescriptor &operator=(const FileDescriptor &) = delete;
    FileDescriptor &operator=(FileDescriptor &&) = delete;

    // Opens `path` for reading without blocking, so that a FIFO or a device
    // at the path can never hang the caller. On failure get() is negative and
    // openError() tells why.
    static FileDescriptor openForReading(const QString &path);

    int get() const { return m_fd; }
    int openError() const { return m_error; }

    struct Content
    {
        QByteArray bytes;
        int error = 0;         // errno of a failed read
        bool tooLarge = false; // more than the limit
    };
    // Reads to the end of the file, at most `limit` bytes; `expected` (the
    // size the file reported) only saves reallocations.
    Content readToEnd(qint64 limit, qint64 expected = 0) const;

private:
    int m_fd;
    int m_error = 0;
};

} // namespace korvel
