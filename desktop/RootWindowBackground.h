#pragma once

#include <QByteArray>
#include <QString>

class QImage;

namespace korvel {

// Puts `image` on the root window of the X display `displayName` (empty: the
// one DISPLAY names) as its background pixmap, and publishes the pixmap in the
// root window's _XROOTPMAP_ID and ESETROOT_PMAP_ID properties. The pixmap
// outlives this process and is recorded in _KORVEL_DESKTOPINFO_PMAP; the one
// recorded by an earlier drawing is freed when it is certainly still ours
// (pixmaps of desktops and other programs are never freed). Returns
// an empty string on success, otherwise what went wrong.
QString setRootBackground(const QImage &image, const QByteArray &displayName = QByteArray());

} // namespace korvel
