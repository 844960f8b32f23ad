#include "AutostartEntry.h"

#include "app/Messages.h"

#include <QByteArray>
#include <QFile>
#include <QStringList>
#include <QTextCodec>

#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvel {

namespace {

AutostartReading failure(AutostartReading::Outcome outcome, int error = 0)
{
    AutostartReading reading;
    reading.outcome = outcome;
    if (error != 0)
        reading.systemError = qt_error_string(error);
    return reading;
}

AutostartReading::Outcome openFailure(int error)
{
    switch (error) {
    case ENOENT:
    case ENOTDIR:
        return AutostartReading::Outcome::Missing;
    case EACCES:
    case EPERM:
        return AutostartReading::Outcome::Unreadable;
    default:
        return AutostartReading::Outcome::ReadError;
    }
}

// Closes the descriptor on every way out of the reading.
class Descriptor
{
public:
    explicit Descriptor(int fd) : m_fd(fd) {}
    ~Descriptor() { ::close(m_fd); }
    Descriptor(const Descriptor &) = delete;
    Descriptor &operator=(const Descriptor &) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

// A desktop entry is a few hundred bytes; this only guards against reading
// something like an endless device file into memory.
constexpr int MaxEntrySize = 1024 * 1024;

} // namespace

QString AutostartReading::failureText(const QString &path) const
{
    switch (outcome) {
    case Outcome::Read:
        break;
    case Outcome::Missing:
        return QString::fromUtf8(msg::AutostartMissingHead) + path +
               QString::fromUtf8(msg::AutostartMissingTail);
    case Outcome::Unreadable:
        return QString::fromUtf8(msg::AutostartUnreadableHead) + path +
               QString::fromUtf8(msg::AutostartUnreadableTail);
    case Outcome::IsDirectory:
        return QString::fromUtf8(msg::AutostartNotReadHead) + path +
               QString::fromUtf8(msg::AutostartIsDirectory);
    case Outcome::NotRegularFile:
        return QString::fromUtf8(msg::AutostartNotReadHead) + path +
               QString::fromUtf8(msg::AutostartNotRegularFile);
    case Outcome::TooLarge:
        return QString::fromUtf8(msg::AutostartNotReadHead) + path +
               QString::fromUtf8(msg::AutostartTooLarge);
    case Outcome::ReadError:
        return QString::fromUtf8(msg::AutostartNotReadHead) + path +
               QString::fromUtf8(msg::AutostartReadError) + systemError;
    case Outcome::NotUtf8:
        return QString::fromUtf8(msg::AutostartNotReadHead) + path +
               QString::fromUtf8(msg::AutostartNotUtf8);
    }
    return QString();
}

std::optional<bool> autostartEnabledIn(const QString &text)
{
    QString normalised = text;
    normalised.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    const QStringList pieces = normalised.split(QLatin1Char('\n'));

    std::optional<bool> enabled;
    // The piece after the last line feed has no line end and never counts.
    for (int i = 0; i + 1 < pieces.size(); ++i) {
        if (pieces.at(i) == QLatin1String("Hidden=true"))
            enabled = false;
        else if (pieces.at(i) == QLatin1String("Hidden=false"))
            enabled = true;
    }
    return enabled;
}

AutostartReading readAutostartEntry(const QString &path)
{
    const QByteArray native = QFile::encodeName(path);
    int fd = -1;
    do {
        // Non-blocking, so that a FIFO planted at the path cannot hang the window.
        fd = ::open(native.constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int error = errno;
        const AutostartReading::Outcome outcome = openFailure(error);
        return failure(outcome, outcome == AutostartReading::Outcome::ReadError ? error : 0);
    }
    const Descriptor file(fd);

    struct stat status = {};
    if (::fstat(file.get(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return failure(AutostartReading::Outcome::IsDirectory);
        if (!S_ISREG(status.st_mode))
            return failure(AutostartReading::Outcome::NotRegularFile);
    }

    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
        if (got > 0) {
            bytes.append(buffer, static_cast<int>(got));
            if (bytes.size() > MaxEntrySize)
                return failure(AutostartReading::Outcome::TooLarge);
        } else if (got == 0) {
            break;
        } else if (errno != EINTR) {
            const int error = errno;
            return failure(error == EISDIR ? AutostartReading::Outcome::IsDirectory
                                           : AutostartReading::Outcome::ReadError,
                           error == EISDIR ? 0 : error);
        }
    }

    // A byte order mark is kept as a character, as it stands in the file.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text =
        QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    if (state.invalidChars > 0 || state.remainingChars > 0)
        return failure(AutostartReading::Outcome::NotUtf8);

    AutostartReading reading;
    reading.enabled = autostartEnabledIn(text);
    return reading;
}

} // namespace korvel
