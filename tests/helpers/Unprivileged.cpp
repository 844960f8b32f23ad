#include "Unprivileged.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>

#include <unistd.h>

namespace Unprivileged {

bool isRoot()
{
    return ::geteuid() == 0;
}

bool rerun(const char *testFunction, const char *tag)
{
    QString function = QString::fromLatin1(testFunction);
    if (tag != nullptr && *tag != '\0')
        function += QLatin1Char(':') + QString::fromUtf8(tag);

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), QStringLiteral("/tmp"));
    env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    env.remove(QStringLiteral("XAUTHORITY"));

    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setWorkingDirectory(QStringLiteral("/"));
    process.start(QStringLiteral("setpriv"),
                  {QStringLiteral("--reuid=%1").arg(Uid), QStringLiteral("--regid=%1").arg(Gid),
                   QStringLiteral("--clear-groups"), QCoreApplication::applicationFilePath(),
                   function});
    process.waitForFinished(120000);
    const QString printed = QString::fromUtf8(process.readAll());
    const bool passed = process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
    if (!passed)
        qWarning("run as nobody failed:\n%s", qPrintable(printed));
    return passed;
}

} // namespace Unprivileged
