#include "Diagnostics.h"

#include <QString>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>

namespace korvel {

namespace {

const char *diagnosticName = "korvel-desktopinfo-gui";
QtMessageHandler previousHandler = nullptr;
bool quietMessages = false;

void exitOnFatal(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtFatalMsg || !quietMessages)
        printDiagnostic(message);
    if (type == QtFatalMsg)
        std::_Exit(1);
}

// Control characters (C0, DEL, C1) and the invisible formatting and line
// separating ones as \xHH or \uHHHH.
QString escapedControls(const QString &text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x20 || (u >= 0x7f && u < 0xa0))
            out += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else if (c.category() == QChar::Other_Format || c.category() == QChar::Separator_Line ||
                 c.category() == QChar::Separator_Paragraph)
            out += QStringLiteral("\\u%1").arg(u, 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace

void setDiagnosticName(const char *programName)
{
    diagnosticName = programName;
}

void printDiagnostic(const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", diagnosticName,
                 escapedControls(text).toLocal8Bit().constData());
    std::fflush(stderr);
}

QString quotedValue(const QString &value)
{
    const bool cut = value.size() > QuotedLength;
    const int length =
        cut && value[QuotedLength - 1].isHighSurrogate() ? QuotedLength - 1 : QuotedLength;
    return QLatin1Char('"') + escapedControls(value.left(length)) +
           (cut ? QStringLiteral("…\"") : QStringLiteral("\""));
}

FatalMessagesExit::FatalMessagesExit(bool quiet)
{
    quietMessages = quiet;
    previousHandler = qInstallMessageHandler(exitOnFatal);
}

void FatalMessagesExit::restore()
{
    if (m_active)
        qInstallMessageHandler(previousHandler);
    m_active = false;
}

} // namespace korvel
