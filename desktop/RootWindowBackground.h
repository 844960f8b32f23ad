#pragma once

#include "picture/PictureCanvas.h"

#include <QByteArray>
#include <QString>

class QImage;
class QSize;

namespace korvel {

// Puts `image` on the root window of the X display `displayName` (empty: the
// one DISPLAY names) as its background pixmap, and publishes the pixmap in the
// root window's _XROOTPMAP_ID and ESETROOT_PMAP_ID properties. The pixmap
// outlives this process and is recorded in _KORVEL_DESKTOPINFO_PMAP; the one
// recorded by an earlier drawing is freed when it is certainly still ours
// (pixmaps of desktops and other programs are never freed). Returns
// an empty string on success, otherwise what went wrong.
QString setRootBackground(const QImage &image, const QByteArray &displayName = QByteArray());

// Gets the next setRootBackground() of a picture of `size` on that display
// ready before the picture is made: the connection, and memory shared with
// the X server. Another size or display there makes its own. An empty size
// lets go of what was made ready, and of the memory of a picture made there.
void prepareRootBackground(const QSize &size, const QByteArray &displayName = QByteArray());

// The memory shared with the X server made ready by prepareRootBackground(),
// for making the picture right there (then setRootBackground() copies
// nothing); none when the server shares none. It stays until
// prepareRootBackground() is called next.
PictureCanvas preparedRootCanvas();

} // namespace korvel
