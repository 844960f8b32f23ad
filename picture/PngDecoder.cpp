#include "PngDecoder.h"

#include "picture/AreaScaling.h"
#include "picture/ImageSource.h"
#include "picture/InflatedRows.h"
#include "picture/LargeImage.h"
#include "picture/RgbRows.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <vector>

namespace korvel {

namespace {

quint32 bigEndian(const unsigned char *at)
{
    return quint32(at[0]) << 24 | quint32(at[1]) << 16 | quint32(at[2]) << 8 | quint32(at[3]);
}

int paeth(int a, int b, int c)
{
    const int p = a + b - c;
    const int pa = std::abs(p - a);
    const int pb = std::abs(p - b);
    const int pc = std::abs(p - c);
    if (pa <= pb && pa <= pc)
        return a;
    return pb <= pc ? b : c;
}

// Undoes the row filter in place; `previous` is the unfiltered row above,
// or nullptr for the first row.
bool unfilter(int type, unsigned char *row, const unsigned char *previous, int size, int pixel)
{
    switch (type) {
    case 0:
        return true;
    case 1:
        for (int i = pixel; i < size; ++i)
            row[i] = static_cast<unsigned char>(row[i] + row[i - pixel]);
        return true;
    case 2:
        if (previous != nullptr)
            for (int i = 0; i < size; ++i)
                row[i] = static_cast<unsigned char>(row[i] + previous[i]);
        return true;
    case 3:
        for (int i = 0; i < size; ++i) {
            const int left = i >= pixel ? row[i - pixel] : 0;
            const int up = previous != nullptr ? previous[i] : 0;
            row[i] = static_cast<unsigned char>(row[i] + ((left + up) >> 1));
        }
        return true;
    case 4:
        for (int i = 0; i < size; ++i) {
            const int left = i >= pixel ? row[i - pixel] : 0;
            const int up = previous != nullptr ? previous[i] : 0;
            const int corner = i >= pixel && previous != nullptr ? previous[i - pixel] : 0;
            row[i] = static_cast<unsigned char>(row[i] + paeth(left, up, corner));
        }
        return true;
    default:
        return false;
    }
}

void convertRow(const unsigned char *in, QRgb *out, int width, int channels)
{
    switch (channels) {
    case 1:
        for (int x = 0; x < width; ++x)
            out[x] = qRgb(in[x], in[x], in[x]);
        break;
    case 2:
        for (int x = 0; x < width; ++x, in += 2)
            out[x] = qRgba(in[0], in[0], in[0], in[1]);
        break;
    case 3:
        pixelRow(in, size_t(width), out);
        break;
    default:
        for (int x = 0; x < width; ++x, in += 4)
            out[x] = qRgba(in[0], in[1], in[2], in[3]);
        break;
    }
}

// The picture's rows as they are inflated, unfiltered in order, turned into
// pixels and, for a halved picture, each pair of rows into one.
struct PngRows
{
    PngRows(InflatedRows &inflated, int pixels, int samples, int halving, bool withAlpha)
        : rows(inflated), width(pixels), channels(samples), halve(halving), alpha(withAlpha)
    {}

    InflatedRows &rows;
    const int width;
    const int channels;
    const int halve;
    const bool alpha;
    bool intact = true;
    int unfiltered = -1;               // the last unfiltered row
    unsigned char *previous = nullptr; // its pixels
    unsigned char *older = nullptr;    // and those of the row above it
    std::vector<QRgb> first, second;
    std::vector<QRgb> line; // a shrink's source row

    // Unfilters the rows up to `y`; false when the stream or a row is damaged.
    bool unfilterTo(int y)
    {
        while (intact && unfiltered < y) {
            unsigned char *row = rows.row(unfiltered + 1);
            intact =
                row != nullptr && unfilter(row[0], row + 1, previous, width * channels, channels);
            if (intact) {
                older = previous;
                previous = row + 1;
            }
            ++unfiltered;
        }
        return intact;
    }

    // Row `y` of the (halved) picture into `out`; black where the stream is damaged.
    void make(int y, QRgb *out)
    {
        if (!unfilterTo(y * halve + halve - 1)) {
            std::fill(out, out + width / halve, 0);
            return;
        }
        if (halve == 1) {
            convertRow(previous, out, width, channels);
            return;
        }
        first.resize(size_t(width));
        second.resize(size_t(width));
        convertRow(older, first.data(), width, channels);
        convertRow(previous, second.data(), width, channels);
        for (int x = 0; alpha && x < width; ++x) {
            first[size_t(x)] = qPremultiply(first[size_t(x)]);
            second[size_t(x)] = qPremultiply(second[size_t(x)]);
        }
        halvedRow(first.data(), second.data(), size_t(width), out);
    }

    static const uint32_t *row(void *context, int y)
    {
        auto *self = static_cast<PngRows *>(context);
        self->make(y, self->line.data());
        return self->line.data();
    }
};

} // namespace

ImageDecoding decodeFastPng(const QByteArray &bytes, const QSize &atLeast, const QSize &shrinkTo,
                            QImage into)
{
    using Outcome = ImageDecoding::Outcome;
    ImageDecoding result;
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const size_t size = static_cast<size_t>(bytes.size());
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (size < 33 || std::memcmp(data, signature, 8) != 0 || std::memcmp(data + 12, "IHDR", 4) != 0)
        return result;
    const quint32 width = bigEndian(data + 16);
    const quint32 height = bigEndian(data + 20);
    const int depth = data[24], colorType = data[25], interlace = data[28];
    const int channels = colorType == 0   ? 1
                         : colorType == 2 ? 3
                         : colorType == 4 ? 2
                         : colorType == 6 ? 4
                                          : 0;
    if (depth != 8 || channels == 0 || interlace != 0 || data[26] != 0 || data[27] != 0 ||
        width == 0 || height == 0)
        return result;
    // The sides first: their product could overflow before they are known to be small.
    if (width > 65535 || height > 65535 || qint64(width) * height > ImageSource::MaxPixels) {
        result.outcome = Outcome::TooLarge;
        return result;
    }

    // The image data, where it lies in the file, checking the chunks as Qt's reader does.
    std::vector<InflatedRows::Piece> pieces;
    bool ended = false;
    for (size_t at = 8; at + 12 <= size && !ended;) {
        const quint32 length = bigEndian(data + at);
        if (length > size - at - 12) {
            result.outcome = Outcome::Corrupt;
            return result;
        }
        const unsigned char *type = data + at + 4;
        // A damaged ancillary chunk is skipped, a damaged critical one fails.
        const bool critical = (type[0] & 0x20) == 0;
        if (critical &&
            libdeflate_crc32(0, type, length + 4) != bigEndian(data + at + 8 + length)) {
            result.outcome = Outcome::Corrupt;
            return result;
        }
        if (std::memcmp(type, "tRNS", 4) == 0 || std::memcmp(type, "PLTE", 4) == 0)
            return result; // a colour key or a palette: left to Qt's reader
        if (std::memcmp(type, "IDAT", 4) == 0)
            pieces.push_back({type + 4, length});
        ended = std::memcmp(type, "IEND", 4) == 0;
        at += 12 + length;
    }
    result.outcome = Outcome::Corrupt;
    if (!ended || pieces.empty())
        return result;

    const int rowSize = int(width) * channels;
    const bool alpha = channels == 2 || channels == 4;
    const int halve = atLeast.isValid() && int(width / 2) >= atLeast.width() &&
                              int(height / 2) >= atLeast.height()
                          ? 2
                          : 1;
    const QSize decoded(int(width) / halve, int(height) / halve);
    // An opaque picture larger than `shrinkTo` comes shrunk, row by row.
    std::optional<AreaShrink> shrink;
    if (!alpha && AreaShrink::shrinks(decoded, shrinkTo))
        shrink.emplace(decoded, shrinkTo);
    const QSize made = shrink ? shrinkTo : decoded;
    // A halved image with alpha is the mean of premultiplied pixels.
    const QImage::Format format = !alpha       ? QImage::Format_RGB32
                                  : halve == 2 ? QImage::Format_ARGB32_Premultiplied
                                               : QImage::Format_ARGB32;
    QImage image = into.size() == made && into.format() == format ? std::move(into)
                                                                  : newLargeImage(made, format);
    if (image.isNull())
        return result;

    InflatedRows rows(std::move(pieces), size_t(rowSize) + 1, int(height));
    PngRows source(rows, int(width), channels, halve, alpha);
    if (shrink) {
        source.line.resize(size_t(width));
        AreaShrink::Sums sums;
        shrink->shrinkRows(0, made.height(), PngRows::row, &source, image.bits(),
                           image.bytesPerLine(), sums);
    } else {
        for (int y = 0; y < made.height() && source.intact; ++y)
            source.make(y, reinterpret_cast<QRgb *>(image.scanLine(y)));
    }
    // The rows not used (an odd last one of a halved image, those a shrink
    // skips) are checked too, and the stream's end.
    if (!source.unfilterTo(int(height) - 1) || !rows.complete())
        return result;
    result.outcome = Outcome::Decoded;
    result.image = std::move(image);
    return result;
}

} // namespace korvel
