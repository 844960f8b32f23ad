#pragma once

#include <QString>

namespace korvel {

// The shell command line that rewrites the entry at `entryPath` so that the
// tool starts at login (`enable`) or not: sed replaces "Hidden=true" by
// "Hidden=false" or the other way round, in place, first occurrence in each
// line. The path is quoted for the shell where it needs quoting, so no path
// can break or extend the command.
QString autostartCommand(bool enable, const QString &entryPath);

// `word` as one word of a shell command line: unchanged when it consists only
// of characters that the shell takes literally, otherwise in single quotes.
QString shellQuoted(const QString &word);

} // namespace korvel
