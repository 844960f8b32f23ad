#include "SettingsFile.h"

#include "base/FileDescriptor.h"
#include "base/ReplacementFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {

namespace {

QString describe(const FileDescriptor::WholeFile &file)
{
    // An absent file is no problem: it reads as no settings.
    return file.problem == FileProblem::Missing
               ? QString()
               : fileProblemReason(file.problem, file.error, SettingsFile::MaxSize);
}

bool writableFor(const QByteArray &path, int mode)
{
    return ::faccessat(AT_FDCWD, path.constData(), mode, AT_EACCESS) == 0;
}

} // namespace

SettingsFile::Content SettingsFile::read() const
{
    FileDescriptor::WholeFile file =
        FileDescriptor::readRegularFile(m_path, MaxSize, FileDescriptor::Links::Refuse);
    // Another name of the same file may be anywhere on this file system: its
    // content is not this folder's to read, and a save would copy it here.
    if (file.problem == FileDescriptor::WholeFile::Problem::None && file.links > 1)
        return {{}, QStringLiteral("it has %1 hard links").arg(file.links)};
    return {std::move(file.bytes), describe(file)};
}

StoredDisplaySettings SettingsFile::readDisplaySettings() const
{
    const Content content = read();
    StoredDisplaySettings stored;
    if (content.bytes.isEmpty()) {
        stored.fileProblem = content.problem;
        return stored;
    }
    return korvel::readDisplaySettings(content.bytes);
}

bool SettingsFile::isWritable() const
{
    const QByteArray native = QFile::encodeName(m_path);
    if (!writableFor(QFile::encodeName(QFileInfo(m_path).absolutePath()), W_OK | X_OK))
        return false;
    struct stat status = {};
    // What is not read is replaced, not written through.
    if (::lstat(native.constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_nlink > 1)
        return true;
    return writableFor(native, W_OK);
}

QByteArray SettingsFile::withValues(const QByteArray &current, const DisplaySettings &values)
{
    return withDisplaySettings(current, values);
}

int SettingsFile::replace(const QByteArray &content) const
{
    ReplacementFile file(m_path, Mode);
    if (file.prepare(content) && file.commit())
        return 0;
    return file.error();
}

} // namespace korvel
