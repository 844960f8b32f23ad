#pragma once

#include "base/FileProblem.h"

#include <QString>

#include <optional>

namespace korvel {

// What reading the autostart entry gave.
struct AutostartReading
{
    // Why the file could not be read.
    FileProblem problem = FileProblem::None;
    // Read, but not UTF-8 text.
    bool notUtf8 = false;
    // When read: whether the entry lets the tool start at login, or nothing
    // when no line of the entry decides it.
    std::optional<bool> enabled;
    // For ReadFailed: the system's description of the error.
    QString systemError;

    bool failed() const { return problem != FileProblem::None || notUtf8; }
    // The message telling the user why the entry at `path` could not be read.
    QString failureText(const QString &path) const;
};

// Whether the entry's text turns autostart on. Only the whole lines
// "Hidden=true" and "Hidden=false" followed by a line end count (CR LF and a
// lone CR are line ends too); the last of them decides. Nothing when neither
// occurs.
std::optional<bool> autostartEnabledIn(const QString &text);

// Reads the entry at `path` and decides the state from its lines.
AutostartReading readAutostartEntry(const QString &path);

} // namespace korvel
