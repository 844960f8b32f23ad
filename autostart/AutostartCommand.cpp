#include "AutostartCommand.h"

#include <QByteArray>

#include <algorithm>

namespace korvel {

namespace {

bool isLiteralForShell(QChar c)
{
    if (c.unicode() >= 0x80)
        return false;
    const char ascii = c.toLatin1();
    return (ascii >= 'a' && ascii <= 'z') || (ascii >= 'A' && ascii <= 'Z') ||
           (ascii >= '0' && ascii <= '9') || QByteArray("@%+=:,./_-").contains(ascii);
}

} // namespace

QString shellQuoted(const QString &word)
{
    if (!word.isEmpty() && std::all_of(word.begin(), word.end(), isLiteralForShell))
        return word;
    QString quoted = word;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString autostartCommand(bool enable, const QString &entryPath)
{
    const QString expression = enable ? QStringLiteral("s/Hidden=true/Hidden=false/")
                                      : QStringLiteral("s/Hidden=false/Hidden=true/");
    // sed would take a path that starts with a dash for an option.
    const QString operand =
        entryPath.startsWith(QLatin1Char('-')) ? QLatin1String("./") + entryPath : entryPath;
    return QLatin1String("sed -i ") + expression + QLatin1Char(' ') + shellQuoted(operand);
}

} // namespace korvel
