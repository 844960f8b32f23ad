#pragma once

#include "base/FileProblem.h"

#include <QByteArray>
#include <QString>

#include <sys/types.h>

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

    enum class Links { Follow, Refuse };

    // Opens `path` for reading without blocking, so that a FIFO or a device
    // at the path can never hang the caller. With Links::Refuse a symbolic
    // link at the path is not followed and fails with ELOOP. On failure get()
    // is negative and openError() tells why.
    static FileDescriptor openForReading(const QString &path, Links links = Links::Follow);

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

    // A whole regular file, read without blocking.
    struct WholeFile
    {
        using Problem = FileProblem;
        Problem problem = Problem::None;
        int error = 0; // errno where the system gave one
        QByteArray bytes;
        uid_t owner = 0;
        mode_t mode = 0;   // permission bits
        nlink_t links = 0; // its number of names (hard links)
    };
    // Reads the file at `path` when it is a regular file of at most `limit`
    // bytes; anything else is refused before a byte is read.
    static WholeFile readRegularFile(const QString &path, qint64 limit,
                                     Links links = Links::Follow);

private:
    int m_fd;
    int m_error = 0;
};

} // namespace korvel
