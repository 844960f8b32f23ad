#pragma once

class QString;

namespace korvel {

// The name in front of every diagnostic line; the window's by default.
void setDiagnosticName(const char *programName);

// Writes one line for the administrator to the standard error stream, with
// the program's name in front. Control characters in it are written as escapes
// (\x1b), so that nothing in it acts on a terminal.
void printDiagnostic(const QString &text);

// A value from a file as a diagnostic quotes it: in double quotes, at most its
// first QuotedLength characters (then "…"), control characters as escapes.
constexpr int QuotedLength = 40;
QString quotedValue(const QString &value);

// While it lives, the toolkit's messages are diagnostic lines (or, with
// `quiet`, only its fatal ones), and a fatal one (no display, no platform
// plugin) ends the process with status 1 instead of an abort.
class FatalMessagesExit
{
public:
    explicit FatalMessagesExit(bool quiet = false);
    ~FatalMessagesExit() { restore(); }
    void restore();
    FatalMessagesExit(const FatalMessagesExit &) = delete;
    FatalMessagesExit &operator=(const FatalMessagesExit &) = delete;

private:
    bool m_active = true;
};

} // namespace korvel
