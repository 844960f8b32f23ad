#include "SettingsFile.h"

#include "app/FileDescriptor.h"
#include "app/ReplacementFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>
#include <QTextCodec>

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {

namespace {

// The settings layer reads and writes only files it opens itself. It is given
// a copy in a private folder of this process, never the shared file.
class PrivateCopy
{
public:
    explicit PrivateCopy(const QByteArray &content)
    {
        if (!m_dir.isValid())
            return;
        QFile file(m_dir.filePath(QStringLiteral("settings.ini")));
        if (file.open(QIODevice::WriteOnly) && file.write(content) == content.size() &&
            file.flush())
            m_file = file.fileName();
    }
    bool isValid() const { return !m_file.isEmpty(); }
    std::unique_ptr<QSettings> settings() const
    {
        auto settings = std::make_unique<QSettings>(m_file, QSettings::IniFormat);
        settings->setIniCodec(QTextCodec::codecForName("UTF-8"));
        return settings;
    }
    QByteArray content() const
    {
        QFile file(m_file);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    QTemporaryDir m_dir;
    QString m_file;
};

QString describe(const FileDescriptor::WholeFile &file)
{
    using Problem = FileDescriptor::WholeFile::Problem;
    switch (file.problem) {
    case Problem::None:
    case Problem::Missing:
        return {};
    case Problem::Directory:
        return QStringLiteral("it is a directory");
    case Problem::NotRegularFile:
        return file.error == ELOOP ? QStringLiteral("it is a symbolic link")
                                   : QStringLiteral("it is not a regular file");
    case Problem::TooLarge:
        return QStringLiteral("it is larger than %1 bytes").arg(SettingsFile::MaxSize);
    case Problem::NotReadable:
    case Problem::ReadFailed:
        break;
    }
    return qt_error_string(file.error);
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
    const PrivateCopy copy(content.bytes);
    if (!copy.isValid()) {
        stored.fileProblem = QStringLiteral("no private temporary folder to read it in");
        return stored;
    }
    stored = korvel::readDisplaySettings(*copy.settings());
    return stored;
}

bool SettingsFile::isWritable() const
{
    const QByteArray native = QFile::encodeName(m_path);
    if (!writableFor(QFile::encodeName(QFileInfo(m_path).absolutePath()), W_OK | X_OK))
        return false;
    struct stat status = {};
    if (::lstat(native.constData(), &status) != 0 || !S_ISREG(status.st_mode))
        return true;
    return writableFor(native, W_OK);
}

std::optional<QByteArray> SettingsFile::withValues(const QByteArray &current,
                                                   const DisplaySettings &values)
{
    const PrivateCopy copy(current);
    if (!copy.isValid())
        return std::nullopt;
    {
        const std::unique_ptr<QSettings> settings = copy.settings();
        writeDisplaySettings(*settings, values);
        settings->sync();
        if (settings->status() != QSettings::NoError)
            return std::nullopt;
    }
    return copy.content();
}

int SettingsFile::replace(const QByteArray &content) const
{
    ReplacementFile file(m_path, Mode);
    if (file.prepare(content) && file.commit())
        return 0;
    return file.error();
}

} // namespace korvel
