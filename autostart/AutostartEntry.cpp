#include "AutostartEntry.h"

#include "app/FileDescriptor.h"
#include "autostart/AutostartTexts.h"

#include <QByteArray>
#include <QStringList>
#include <QTextCodec>

#include <cerrno>

#include <sys/stat.h>

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

// A desktop entry is a few hundred bytes; this only guards against reading
// something like an endless device file into memory.
constexpr int MaxEntrySize = 1024 * 1024;

} // namespace

QString AutostartReading::failureText(const QString &path) const
{
    // Each text is a head, the path and a tail.
    const char *head = msg::AutostartNotReadHead;
    const char *tail = nullptr;
    switch (outcome) {
    case Outcome::Read:
        return QString();
    case Outcome::Missing:
        head = msg::AutostartMissingHead;
        tail = msg::AutostartMissingTail;
        break;
    case Outcome::Unreadable:
        head = msg::AutostartUnreadableHead;
        tail = msg::AutostartUnreadableTail;
        break;
    case Outcome::IsDirectory:
        tail = msg::AutostartIsDirectory;
        break;
    case Outcome::NotRegularFile:
        tail = msg::AutostartNotRegularFile;
        break;
    case Outcome::TooLarge:
        tail = msg::AutostartTooLarge;
        break;
    case Outcome::ReadError:
        return QString::fromUtf8(head) + path + QString::fromUtf8(msg::AutostartReadError) +
               systemError;
    case Outcome::NotUtf8:
        tail = msg::AutostartNotUtf8;
        break;
    }
    return QString::fromUtf8(head) + path + QString::fromUtf8(tail);
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
    const FileDescriptor file = FileDescriptor::openForReading(path);
    if (file.get() < 0) {
        const int error = file.openError();
        const AutostartReading::Outcome outcome = openFailure(error);
        return failure(outcome, outcome == AutostartReading::Outcome::ReadError ? error : 0);
    }

    struct stat status = {};
    if (::fstat(file.get(), &status) == 0) {
        if (S_ISDIR(status.st_mode))
            return failure(AutostartReading::Outcome::IsDirectory);
        if (!S_ISREG(status.st_mode))
            return failure(AutostartReading::Outcome::NotRegularFile);
    }

    const FileDescriptor::Content content = file.readToEnd(MaxEntrySize, status.st_size);
    if (content.tooLarge)
        return failure(AutostartReading::Outcome::TooLarge);
    if (content.error == EISDIR)
        return failure(AutostartReading::Outcome::IsDirectory);
    if (content.error != 0)
        return failure(AutostartReading::Outcome::ReadError, content.error);
    const QByteArray &bytes = content.bytes;

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
