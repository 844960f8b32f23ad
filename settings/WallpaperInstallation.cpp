#include "WallpaperInstallation.h"

#include "ImageSource.h"
#include "app/FileDescriptor.h"

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

constexpr mode_t WallpaperMode = 0664;

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

WallpaperInstallation::WallpaperInstallation(const ImageSource &source, QString target)
    : m_source(source), m_target(std::move(target))
{}

WallpaperInstallation::~WallpaperInstallation()
{
    discard();
}

bool WallpaperInstallation::fail(int error)
{
    m_error = error;
    discard();
    return false;
}

void WallpaperInstallation::discard()
{
    if (!m_temporary.isEmpty())
        ::unlink(m_temporary.constData());
    m_temporary.clear();
}

bool WallpaperInstallation::prepare()
{
    const QByteArray target = QFile::encodeName(m_target);
    struct stat status = {};
    if (::stat(target.constData(), &status) == 0 && status.st_dev == m_source.device() &&
        status.st_ino == m_source.inode()) {
        m_sourceIsTarget = true;
        m_prepared = true;
        return true;
    }

    const QFileInfo info(m_target);
    QByteArray name = QFile::encodeName(info.absolutePath() + QLatin1String("/.") +
                                        info.fileName() + QLatin1String(".XXXXXX"));
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0)
        return fail(errno);
    m_temporary = name;

    // fchmod is not limited by the umask, so the file gets exactly 0664.
    bool ok =
        writeAll(fd, m_source.content()) && ::fchmod(fd, WallpaperMode) == 0 && ::fsync(fd) == 0;
    int error = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        error = errno;
    }
    if (!ok)
        return fail(error);
    m_prepared = true;
    return true;
}

bool WallpaperInstallation::commit()
{
    if (!m_prepared)
        return fail(EINVAL);
    const QByteArray target = QFile::encodeName(m_target);
    if (m_sourceIsTarget) {
        struct stat status = {};
        if (::stat(target.constData(), &status) != 0)
            return fail(errno);
        if ((status.st_mode & 07777) != WallpaperMode &&
            ::chmod(target.constData(), WallpaperMode) != 0)
            return fail(errno);
        return true;
    }
    if (::rename(m_temporary.constData(), target.constData()) != 0)
        return fail(errno);
    m_temporary.clear();
    flushFolder(QFile::encodeName(QFileInfo(m_target).absolutePath()));
    return true;
}

} // namespace korvel
