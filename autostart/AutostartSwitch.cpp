#include "AutostartSwitch.h"

#include "autostart/AutostartTexts.h"

#include <QProcess>

namespace korvel {

namespace {

// The command's complaint starts with the program's name and a colon and a
// blank ("sed: "), which the message leaves out. Counted in characters, so a
// character outside the basic plane counts once.
QString withoutFirstCharacters(const QString &text, int count)
{
    int at = 0;
    for (int dropped = 0; dropped < count && at < text.size(); ++dropped) {
        const bool pair = text.at(at).isHighSurrogate() && at + 1 < text.size() &&
                          text.at(at + 1).isLowSurrogate();
        at += pair ? 2 : 1;
    }
    return text.mid(at);
}

} // namespace

QString SwitchRun::failureText() const
{
    QString middle;
    if (!systemError.isEmpty())
        middle = systemError;
    else if (!errorOutput.isEmpty())
        middle = withoutFirstCharacters(QString::fromUtf8(errorOutput), 5);
    else if (normalExit)
        middle = QString::fromUtf8(msg::AutostartExitCode).arg(exitCode);
    else
        middle = QString::fromUtf8(msg::AutostartCrashed);
    return QString::fromUtf8(msg::AutostartFailedHead) + middle +
           QString::fromUtf8(msg::AutostartFailedTail);
}

SwitchRun runSwitchCommand(const QString &shell, const QString &command)
{
    SwitchRun run;
    QProcess process;
    process.setStandardInputFile(QProcess::nullDevice());
    process.setStandardOutputFile(QProcess::nullDevice());
    process.setReadChannel(QProcess::StandardError);
    process.start(shell, {QStringLiteral("-c"), command}, QIODevice::ReadOnly);
    if (!process.waitForStarted(-1)) {
        run.systemError = process.errorString();
        return run;
    }
    process.waitForFinished(-1);
    if (process.state() != QProcess::NotRunning || process.error() == QProcess::ReadError) {
        run.systemError = process.errorString();
        process.kill();
        process.waitForFinished(-1);
        return run;
    }
    run.normalExit = process.exitStatus() == QProcess::NormalExit;
    run.exitCode = process.exitCode();
    run.errorOutput = process.readAllStandardError();
    return run;
}

} // namespace korvel
