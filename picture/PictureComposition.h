#pragma once

#include "base/FileDescriptor.h"
#include "picture/MonitorLayout.h"
#include "picture/PictureCanvas.h"

#include <QColor>
#include <QGlyphRun>
#include <QImage>
#include <QRawFont>
#include <QSize>
#include <QString>
#include <QVector>

#include <optional>

namespace korvel {

enum class TextPosition { Left, Center, Right };

// What a picture is made of.
struct PictureJob
{
    QString imagePath;
    // Whether a symbolic link at imagePath is followed.
    FileDescriptor::Links imageLinks = FileDescriptor::Links::Follow;
    QString fontPath;
    int fontPixelSize = 0;
    int colorIndex = 0;
    TextPosition position = TextPosition::Left;
    // The whole desktop: the bounding box of its monitors.
    QSize desktop;
    MonitorLayout monitors;
    // The picture of one monitor only (an index into the monitors), cut
    // from the desktop's; -1 for the whole desktop.
    int shownMonitor = -1;
    QString text;
    // Where the whole desktop's picture may be made, if the caller has memory for it.
    PictureCanvas canvas;
};

enum class PictureFailure { None, ImageUnreadable, ImageTooLarge, FontUnusable, FontSizeRefused };

struct ComposedPicture
{
    QImage image;
    PictureFailure failure = PictureFailure::None;
};

// The top of the text block.
constexpr int TextTop = 50;
// Space added to the ascent between two lines.
constexpr int ExtraLineSpace = 4;

// The text colour of a colour choice; choices outside the table draw black.
QColor textColor(int colorIndex);
// The left edge of every line for a desktop `width` pixels wide.
int textLeftEdge(TextPosition position, int width);

// The text's font: the TrueType file at `pixelSize` pixels per em, with light
// (vertical) hinting whatever the desktop's font settings say, so that the
// window's preview and the desktop tool draw the same glyphs.
QRawFont textFont(const QString &fontPath, int pixelSize);

// The text of a job in its font, laid out line by line, its glyphs rendered
// once already: drawing it onto the picture then only blends them. Made
// while the wallpaper loads, on the application's thread. A failure for a
// font or size that cannot draw it, which composing then reports.
struct PreparedText
{
    QRawFont font;
    int ascent = 0;
    QVector<QGlyphRun> lines; // those that start on the primary monitor
    PictureFailure failure = PictureFailure::None;
};
PreparedText prepareInfoText(const PictureJob &job);

// Loads the image by its content (a regular file only, read without blocking;
// see ImageSource), gives every monitor the whole image stretched to its
// rectangle (each axis on its own, alpha kept; the rest of the desktop
// black) and draws the text on the primary monitor: every line left-aligned
// at the position's edge of that monitor, the first line's ascender TextTop
// below its top, one line every ascent (whole pixels) + ExtraLineSpace, cut
// at its edges. With one monitor, the picture is the image at the desktop's
// size with the text on it.
ComposedPicture composePicture(const PictureJob &job);

// The size the image is loaded at: the widest monitor's width by the
// tallest one's height, so that no monitor's part is enlarged from it.
QSize loadedImageSize(const PictureJob &job);

// The two halves of composePicture(). The image needs no application
// object and may be loaded on any thread; the monitors are laid out and the
// text is drawn with the application's font engine, onto the image loaded
// for the same job.
ComposedPicture loadDesktopImage(const PictureJob &job);
ComposedPicture drawInfoText(ComposedPicture loaded, const PictureJob &job,
                             const PreparedText &text);

// loadDesktopImage() before the application object exists, with the quick
// PNG and JPEG decoders alone; nullopt for an image that needs Qt's reader
// (whose plugins must not be loaded while the application starts).
std::optional<ComposedPicture> loadDesktopImageWithoutToolkit(const PictureJob &job);

} // namespace korvel
