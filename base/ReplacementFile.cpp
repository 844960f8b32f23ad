#include "ReplacementFile.h"

#include "base/FileDescriptor.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <utility>

namespace korvel {

namespace {

bool writeAll(int fd, const QByteArray &content)
{
    qint64 done = 0;
    while (done < content.size()) {
        const ssize_t written =
            ::write(fd, content.constData() + done, static_cast<size_t>(content.size() - done));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = EIO;
            return false;
        }
        done += written;
    }
    return true;
}

// Makes a rename in `folder` durable; a folder that cannot be flushed does not
// undo the rename, so failures are ignored.
void flushFolder(const QByteArray &folder)
{
    const FileDescriptor fd(::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd.get() >= 0)
        ::fsync(fd.get());
}

} // namespace

ReplacementFile::ReplacementFile(QString target, mode_t mode)
    : m_target(std::move(target)), m_mode(mode)
{}

ReplacementFile::~ReplacementFile()
{
    discard();
}

bool ReplacementFile::fail(int error)
{
    m_error = error;
    discard();
    return false;
}

void ReplacementFile::discard()
{
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
}

bool ReplacementFile::prepare(const QByteArray &content)
{
    discard();
    // A rename cannot replace a directory; find that out before anything else
    // is written, so that a save fails whole.
    struct stat status = {};
    if (::lstat(QFile::encodeName(m_target).constData(), &status) == 0 && S_ISDIR(status.st_mode))
        return fail(EISDIR);
    const QFileInfo info(m_target);
    QByteArray name = QFile::encodeName(info.absolutePath() + QLatin1String("/.") +
                                        info.fileName() + QLatin1String(".XXXXXX"));
    // mkostemp creates the file with O_EXCL: nothing planted at the name is opened.
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    m_temporary = name;

    // fchmod works on the open file, not on a path, and is not limited by the umask.
    bool ok = writeAll(fd, content) && ::fchmod(fd, m_mode) == 0 && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    return ok || fail(error);
}

bool ReplacementFile::commit()
{
    if (m_temporary.isEmpty())
        return fail(EINVAL);
    if (::rename(m_temporary.constData(), QFile::encodeName(m_target).constData()) != 0)
        return fail(errno);
    m_temporary.clear();
    flushFolder(QFile::encodeName(QFileInfo(m_target).absolutePath()));
    return true;
}

} // namespace korvel
