#pragma once

#include <QString>
#include <stdexcept>

namespace korvel {

// A failure before the event loop runs. Start-up writes its text to the
// standard error stream and ends the process with status 1.
class StartupError : public std::runtime_error
{
public:
    explicit StartupError(const QString &what) : std::runtime_error(what.toStdString()) {}
};

} // namespace korvel
