#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace korvel {

// The image file that the user chose, read and checked before anything is
// written. The file is opened without blocking and only a regular file is
// read, so a FIFO, a device such as /dev/zero or a socket is refused at once;
// its content must be no larger than MaxSize and be recognised by the image
// reader. The checked bytes are the ones that get installed, even if the file
// changes afterwards.
class ImageSource
{
public:
    enum class Problem {
        None,
        Missing,
        NotReadable,
        Directory,
        NotRegularFile,
        TooLarge,
        ReadFailed,
        NotAnImage,
    };

    static constexpr qint64 MaxSize = qint64(256) * 1024 * 1024;

    static ImageSource read(const QString &path);

    bool isValid() const { return m_problem == Problem::None; }
    Problem problem() const { return m_problem; }
    const QString &path() const { return m_path; }
    const QByteArray &content() const { return m_content; }
    // The identity of the file that was read.
    dev_t device() const { return m_device; }
    ino_t inode() const { return m_inode; }

private:
    QString m_path;
    Problem m_problem = Problem::Missing;
    QByteArray m_content;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

} // namespace korvel
