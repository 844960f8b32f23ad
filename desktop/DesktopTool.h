#pragma once

namespace korvel {

struct Paths;

// The desktop-information tool. With --once it draws the desktop and exits:
// 0 when drawn, 1 when nothing could be drawn (one line on standard error
// says why; the desktop is left as it is). Without options, as started at
// login, it draws, then stays idle in the background and draws again when an
// IPv4 address, the default route, the screen size, the settings file or the
// wallpaper changes, until SIGTERM or the end of the X session; it exits at
// once when the autostart entry is switched off.
int runDesktopTool(int argc, char **argv, const Paths &paths);

} // namespace korvel
