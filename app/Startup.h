#pragma once

namespace korvel {

struct Paths;

// Runs the program against the given files: builds the form classes and the
// settings object, shows the centred main window and runs the event loop.
// Returns the loop's exit status, or 1 after writing the reason for a failure
// before the loop to the standard error stream.
int runApplication(int &argc, char **argv, const Paths &paths);

} // namespace korvel
