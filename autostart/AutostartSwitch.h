#pragma once

#include <QByteArray>
#include <QString>

namespace korvel {

// How one run of the switching command ended.
struct SwitchRun
{
    // Set when the shell could not be started or its error output could not
    // be read: the system's description of that error.
    QString systemError;
    bool normalExit = false;
    int exitCode = 0;
    QByteArray errorOutput;

    // Only a normal exit with status 0 is a success; a warning on the error
    // output of a command that did its work does not make it a failure.
    bool succeeded() const { return systemError.isEmpty() && normalExit && exitCode == 0; }
    // The message for a failed run: the error output without its first five
    // characters, or, when there was none, how the command ended.
    QString failureText() const;
};

// Runs `shell -c command` and waits for it to end. Its standard output is
// discarded; its error output is read to its end.
SwitchRun runSwitchCommand(const QString &shell, const QString &command);

} // namespace korvel
