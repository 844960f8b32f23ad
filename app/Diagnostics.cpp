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

} // namespace

void setDiagnosticName(const char *programName)
{
    diagnosticName = programName;
}

void printDiagnostic(const QString &text)
{
    std::fprintf(stderr, "%s: %s\n", diagnosticName, text.toLocal8Bit().constData());
    std::fflush(stderr);
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
