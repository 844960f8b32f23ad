#include "AutostartEntry.h"

#include "autostart/AutostartTexts.h"
#include "base/FileDescriptor.h"

#include <QByteArray>
#include <QStringList>
#include <QTextCodec>

namespace korvel {

namespace {

// A desktop entry is a few hundred bytes; this only guards against reading
// something like an endless device file into memory.
constexpr int MaxEntrySize = 1024 * 1024;

} // namespace

QString AutostartReading::failureText(const QString &path) const
{
    // Each text is a head, the path and a tail.
    const char *head = msg::AutostartNotReadHead;
    const char *tail = msg::AutostartNotUtf8;
    switch (problem) {
    case FileProblem::None:
        if (!notUtf8)
            return QString();
        break;
    case FileProblem::Missing:
        head = msg::AutostartMissingHead;
        tail = msg::AutostartMissingTail;
        break;
    case FileProblem::NotReadable:
        head = msg::AutostartUnreadableHead;
        tail = msg::AutostartUnreadableTail;
        break;
    case FileProblem::Directory:
        tail = msg::AutostartIsDirectory;
        break;
    case FileProblem::NotRegularFile:
        tail = msg::AutostartNotRegularFile;
        break;
    case FileProblem::TooLarge:
        tail = msg::AutostartTooLarge;
        break;
    case FileProblem::ReadFailed:
        return QString::fromUtf8(head) + path + QString::fromUtf8(msg::AutostartReadError) +
               systemError;
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
    const FileDescriptor::WholeFile file = FileDescriptor::readRegularFile(path, MaxEntrySize);
    AutostartReading reading;
    reading.problem = file.problem;
    // What the system refused to open, other than a missing or forbidden
    // file, is told in the system's words.
    if (file.problem == FileProblem::NotRegularFile && file.error != 0)
        reading.problem = FileProblem::ReadFailed;
    if (reading.problem == FileProblem::ReadFailed)
        reading.systemError = qt_error_string(file.error);
    if (reading.failed())
        return reading;
    const QByteArray &bytes = file.bytes;

    // A byte order mark is kept as a character, as it stands in the file.
    QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
    const QString text =
        QTextCodec::codecForName("UTF-8")->toUnicode(bytes.constData(), bytes.size(), &state);
    reading.notUtf8 = state.invalidChars > 0 || state.remainingChars > 0;
    if (!reading.notUtf8)
        reading.enabled = autostartEnabledIn(text);
    return reading;
}

} // namespace korvel
