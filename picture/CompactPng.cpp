#include "CompactPng.h"

#include <QImage>

#include <libdeflate.h>

#include <limits>
#include <memory>

namespace korvel {

namespace {

void putBigEndian(char *to, quint32 value)
{
    to[0] = char(value >> 24);
    to[1] = char(value >> 16);
    to[2] = char(value >> 8);
    to[3] = char(value);
}

void putChunk(QByteArray &png, const char *type, const char *data, size_t size)
{
    char head[8];
    putBigEndian(head, quint32(size));
    std::copy(type, type + 4, head + 4);
    png.append(head, 8);
    png.append(data, int(size));
    uint32_t crc = libdeflate_crc32(0, type, 4);
    if (size > 0) // a null buffer would start over
        crc = libdeflate_crc32(crc, data, size);
    char tail[4];
    putBigEndian(tail, crc);
    png.append(tail, 4);
}

struct FreeCompressor
{
    void operator()(libdeflate_compressor *c) const { libdeflate_free_compressor(c); }
};

} // namespace

QByteArray encodeCompactPng(const QImage &source)
{
    if (source.isNull())
        return {};
    const QImage image = source.convertToFormat(
        source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    const size_t width = size_t(image.width());
    const size_t rowSize = 1 + width * 3;
    if (rowSize * size_t(image.height()) > size_t(std::numeric_limits<int>::max() / 2))
        return {};
    QByteArray raw(int(rowSize * size_t(image.height())), Qt::Uninitialized);
    auto *out = reinterpret_cast<unsigned char *>(raw.data());
    for (int y = 0; y < image.height(); ++y) {
        const auto *pixels = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        *out++ = 1; // Sub: each byte less the one a pixel to the left
        QRgb left = 0;
        for (size_t x = 0; x < width; ++x) {
            const QRgb pixel = pixels[x];
            *out++ = static_cast<unsigned char>(qRed(pixel) - qRed(left));
            *out++ = static_cast<unsigned char>(qGreen(pixel) - qGreen(left));
            *out++ = static_cast<unsigned char>(qBlue(pixel) - qBlue(left));
            left = pixel;
        }
    }

    const std::unique_ptr<libdeflate_compressor, FreeCompressor> compressor(
        libdeflate_alloc_compressor(1));
    if (!compressor)
        return {};
    const size_t bound = libdeflate_zlib_compress_bound(compressor.get(), size_t(raw.size()));
    QByteArray idat(int(bound), Qt::Uninitialized);
    const size_t packed = libdeflate_zlib_compress(compressor.get(), raw.constData(),
                                                   size_t(raw.size()), idat.data(), bound);
    raw.clear();
    if (packed == 0)
        return {};

    QByteArray png("\x89PNG\r\n\x1a\n", 8);
    png.reserve(int(packed) + 64);
    char header[13];
    putBigEndian(header, quint32(image.width()));
    putBigEndian(header + 4, quint32(image.height()));
    header[8] = 8;                            // bits per channel
    header[9] = 2;                            // RGB
    header[10] = header[11] = header[12] = 0; // deflate, adaptive filters, no interlacing
    putChunk(png, "IHDR", header, sizeof header);
    putChunk(png, "IDAT", idat.constData(), packed);
    putChunk(png, "IEND", nullptr, 0);
    return png;
}

} // namespace korvel
