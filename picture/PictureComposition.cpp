#include "PictureComposition.h"

#include "picture/AreaScaling.h"
#include "picture/ImageSource.h"
#include "picture/JpegDecoder.h"
#include "picture/PngDecoder.h"

#include <QBuffer>
#include <QGlyphRun>
#include <QImageReader>
#include <QPainter>
#include <QRawFont>
#include <QRegion>
#include <QStringList>
#include <QVector>
#include <QtMath>

namespace korvel {

namespace {

// Sizes beyond this the font engine is not asked for.
constexpr int MaxFontPixelSize = 4096;
// Rendering the glyphs beforehand costs at most this much scratch memory.
constexpr qint64 MaxScratchBytes = qint64(4) << 20;

ComposedPicture failed(PictureFailure failure)
{
    ComposedPicture result;
    result.failure = failure;
    return result;
}

// The image smoothly stretched or shrunk to `size`, each axis on its own; a
// shrunk one in `into` when that suits (see shrinkByArea).
QImage stretched(const QImage &image, const QSize &size, QImage into = QImage())
{
    if (std::optional<QImage> shrunk = shrinkByArea(image, size, std::move(into)))
        return *std::move(shrunk);
    return image.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

// Where in the caller's memory for the whole desktop the loaded image can be
// made, when the desktop has several monitors side by side: the rectangle of
// a monitor of its size (the primary's, if that is one). The others of that
// size get a copy from there.
std::optional<QRect> placeInCanvas(const PictureJob &job, const QSize &size)
{
    if (job.canvas.size != job.desktop || job.shownMonitor >= 0)
        return std::nullopt;
    const QVector<QRect> monitors = job.monitors.monitors(job.desktop);
    const QRect whole(QPoint(0, 0), job.desktop);
    for (int i = 0; i < monitors.size(); ++i) {
        if (!whole.contains(monitors.at(i)))
            return std::nullopt;
        for (int j = 0; j < i; ++j) {
            if (monitors.at(i).intersects(monitors.at(j)))
                return std::nullopt;
        }
    }
    const QRect primary = monitors.value(job.monitors.primary);
    if (primary.size() == size)
        return primary;
    for (const QRect &monitor : monitors) {
        if (monitor.size() == size)
            return monitor;
    }
    return std::nullopt;
}

// Reads the image scaled to exactly `size`. Refuses files that are not
// regular, and images whose declared size is too large before decoding.
// Without `toolkitReader`, only the quick decoders are used, and an image that
// needs Qt's reader gives nullopt.
std::optional<ComposedPicture> loadScaled(const PictureJob &job, bool toolkitReader)
{
    FileDescriptor::WholeFile file =
        FileDescriptor::readRegularFile(job.imagePath, ImageSource::MaxSize, job.imageLinks);
    if (file.problem == FileDescriptor::WholeFile::Problem::TooLarge)
        return failed(PictureFailure::ImageTooLarge);
    if (file.problem != FileDescriptor::WholeFile::Problem::None)
        return failed(PictureFailure::ImageUnreadable);
    const QSize size = loadedImageSize(job);
    // With one monitor over the whole desktop the loaded image is the picture,
    // made in the caller's memory where it can be.
    const QVector<QRect> monitors = job.monitors.monitors(job.desktop);
    const bool whole = job.shownMonitor < 0 && monitors.size() == 1 &&
                       monitors.first() == QRect(QPoint(0, 0), job.desktop);
    const std::optional<QRect> place = whole ? std::nullopt : placeInCanvas(job, size);
    const auto canvas = [&] {
        return whole ? job.canvas.image(size) : place ? job.canvas.part(*place) : QImage();
    };
    // PNG and JPEG decode here, in one pass each, straight to RGB32; a large
    // JPEG at the smallest of its own scales that still covers the desktop.
    ImageDecoding decoded = decodeFastPng(file.bytes, size, size, canvas());
    if (decoded.outcome == ImageDecoding::Outcome::NotHandled)
        decoded = decodeFastJpeg(file.bytes, size, size, canvas());
    QImage image = std::move(decoded.image);
    switch (decoded.outcome) {
    case ImageDecoding::Outcome::Decoded:
        break;
    case ImageDecoding::Outcome::Corrupt:
        return failed(PictureFailure::ImageUnreadable);
    case ImageDecoding::Outcome::TooLarge:
        return failed(PictureFailure::ImageTooLarge);
    case ImageDecoding::Outcome::NotHandled: {
        if (!toolkitReader)
            return std::nullopt;
        const ImageSource source = ImageSource::fromContent(job.imagePath, std::move(file.bytes));
        if (source.refusal() == ImageSource::Refusal::TooManyPixels)
            return failed(PictureFailure::ImageTooLarge);
        if (!source.isValid())
            return failed(PictureFailure::ImageUnreadable);
        // Qt's reader for the format checked and nothing else: a reader chosen
        // by the content could decode a picture of any size inside another file.
        QBuffer buffer;
        buffer.setData(source.content());
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, source.format() == ImageHeader::Format::Png ? "png" : "jpeg");
        reader.setAutoDetectImageFormat(false);
        reader.setDecideFormatFromContent(false);
        if (!reader.read(&image) || image.isNull())
            return failed(PictureFailure::ImageUnreadable);
        break;
    }
    }
    if (image.size() != size)
        image = stretched(image, size, canvas());
    // RGB32 draws and writes fastest; images with alpha keep it.
    image.convertTo(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                            : QImage::Format_RGB32);
    ComposedPicture result;
    result.image = image;
    return result;
}

// A line's glyphs in `font`, placed from the origin along the baseline.
QGlyphRun lineRun(const QRawFont &font, const QString &line)
{
    QGlyphRun run;
    const QVector<quint32> glyphs = font.glyphIndexesForString(line);
    if (glyphs.isEmpty())
        return run;
    const QVector<QPointF> advances =
        font.advancesForGlyphIndexes(glyphs, QRawFont::KernedAdvances);
    QVector<QPointF> positions;
    positions.reserve(glyphs.size());
    QPointF pen;
    for (const QPointF &advance : advances) {
        positions.append(pen);
        pen += advance;
    }
    run.setRawFont(font);
    run.setGlyphIndexes(glyphs);
    run.setPositions(positions);
    return run;
}

// The picture of the desktop, or of its shown monitor, laid out from the
// wallpaper loaded at loadedImageSize(). Sets `area` to the rectangle of the
// desktop that the picture shows. A null image when it cannot be allocated.
QImage layOutMonitors(const QImage &wallpaper, const PictureJob &job, QRect *area)
{
    const QRect whole(QPoint(0, 0), job.desktop);
    const QVector<QRect> monitors = job.monitors.monitors(job.desktop);
    *area = job.shownMonitor >= 0 ? monitors.value(job.shownMonitor, whole) : whole;
    if (monitors.size() == 1 && monitors.first() == *area && wallpaper.size() == area->size())
        return wallpaper;
    // The wallpaper may have been made in a monitor's place there already.
    const std::optional<QRect> place = job.canvas.placeOf(wallpaper);
    QImage canvas = (!place || monitors.contains(*place)) && !wallpaper.hasAlphaChannel()
                        ? job.canvas.image(area->size())
                        : QImage();
    if (canvas.isNull())
        canvas = QImage(area->size(), wallpaper.format());
    if (canvas.isNull())
        return canvas;
    QPainter painter(&canvas);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    // Black where no monitor is; the rest is painted over below.
    QRegion uncovered(canvas.rect());
    for (const QRect &rect : monitors)
        uncovered -= rect.translated(-area->topLeft());
    for (const QRect &rect : uncovered)
        painter.fillRect(rect, Qt::black);
    // The primary comes last: where monitors overlap, its part stays whole.
    QVector<int> order;
    for (int i = 0; i < monitors.size(); ++i) {
        if (i != job.monitors.primary)
            order.append(i);
    }
    order.append(job.monitors.primary);
    const bool madeInPlace = place && canvas.constBits() == job.canvas.pixels;
    QImage part;
    for (const int i : std::as_const(order)) {
        const QRect &rect = monitors.at(i);
        if (!rect.intersects(*area) || (madeInPlace && rect == *place))
            continue;
        if (rect.size() == wallpaper.size())
            part = wallpaper;
        else if (part.size() != rect.size())
            part = stretched(wallpaper, rect.size());
        painter.drawImage(rect.topLeft() - area->topLeft(), part);
    }
    return canvas;
}

} // namespace

QSize loadedImageSize(const PictureJob &job)
{
    QSize size;
    for (const QRect &rect : job.monitors.monitors(job.desktop))
        size = size.expandedTo(rect.size());
    return size;
}

QColor textColor(int colorIndex)
{
    switch (colorIndex) {
    case 1:
        return QColor(255, 255, 255);
    case 2:
        return QColor(0, 128, 0);
    case 3:
        return QColor(0, 0, 255);
    case 4:
        return QColor(255, 0, 0);
    case 5:
        return QColor(255, 255, 0);
    default:
        return QColor(0, 0, 0);
    }
}

int textLeftEdge(TextPosition position, int width)
{
    switch (position) {
    case TextPosition::Left:
        return 100;
    case TextPosition::Center:
        return static_cast<int>(width * 2.0 / 5.0);
    case TextPosition::Right:
        break;
    }
    return static_cast<int>(width * 3.0 / 4.0);
}

ComposedPicture composePicture(const PictureJob &job)
{
    return drawInfoText(loadDesktopImage(job), job, prepareInfoText(job));
}

ComposedPicture loadDesktopImage(const PictureJob &job)
{
    return *loadScaled(job, true);
}

std::optional<ComposedPicture> loadDesktopImageWithoutToolkit(const PictureJob &job)
{
    return loadScaled(job, false);
}

QRawFont textFont(const QString &fontPath, int pixelSize)
{
    return QRawFont(fontPath, pixelSize, QFont::PreferVerticalHinting);
}

PreparedText prepareInfoText(const PictureJob &job)
{
    PreparedText text;
    if (job.fontPixelSize <= 0 || job.fontPixelSize > MaxFontPixelSize) {
        text.failure = PictureFailure::FontSizeRefused;
        return text;
    }
    text.font = textFont(job.fontPath, job.fontPixelSize);
    if (!text.font.isValid()) {
        text.failure = PictureFailure::FontUnusable;
        return text;
    }
    text.ascent = qCeil(text.font.ascent());
    if (text.ascent <= 0) {
        text.failure = PictureFailure::FontSizeRefused;
        return text;
    }
    // The lines that start on the primary monitor.
    const QRect primary = job.monitors.primaryRect(job.desktop);
    const int pitch = text.ascent + ExtraLineSpace;
    const QStringList lines = job.text.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size() && TextTop + i * pitch < primary.height(); ++i)
        text.lines.append(lineRun(text.font, lines.at(i)));

    // Each line drawn once where it starts, on a strip of the monitor's
    // width: the font engine renders and keeps the very glyphs, at the same
    // fractions of a pixel, that drawing it onto the picture then blends.
    const int height = std::min(primary.height(), text.ascent + qCeil(text.font.descent()) + 1);
    if (primary.isEmpty() || qint64(primary.width()) * height * 4 > MaxScratchBytes)
        return text;
    QImage strip(primary.width(), height, QImage::Format_RGB32);
    strip.fill(0);
    QPainter painter(&strip);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(textColor(job.colorIndex));
    const QPointF baseline(textLeftEdge(job.position, primary.width()), text.ascent);
    for (const QGlyphRun &run : std::as_const(text.lines)) {
        if (!run.isEmpty())
            painter.drawGlyphRun(baseline, run);
    }
    return text;
}

ComposedPicture drawInfoText(ComposedPicture loaded, const PictureJob &job,
                             const PreparedText &text)
{
    if (text.failure != PictureFailure::None)
        return failed(text.failure);
    if (loaded.failure != PictureFailure::None)
        return loaded;

    ComposedPicture result;
    QRect area;
    result.image = layOutMonitors(loaded.image, job, &area);
    loaded.image = QImage();
    if (result.image.isNull())
        return failed(PictureFailure::ImageTooLarge);
    const QRect primary = job.monitors.primaryRect(job.desktop).translated(-area.topLeft());
    if (!primary.intersects(result.image.rect()))
        return result;
    QPainter painter(&result.image);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(textColor(job.colorIndex));
    if (primary != result.image.rect())
        painter.setClipRect(primary);
    const int x = primary.left() + textLeftEdge(job.position, primary.width());
    const int pitch = text.ascent + ExtraLineSpace;
    for (int i = 0; i < text.lines.size(); ++i) {
        if (!text.lines.at(i).isEmpty())
            painter.drawGlyphRun(QPointF(x, primary.top() + TextTop + i * pitch + text.ascent),
                                 text.lines.at(i));
    }
    painter.end();
    return result;
}

} // namespace korvel
