#include "CompactPng.h"

#include "PngChunks.h"

#include <QImage>

#include <libdeflate.h>

#include <limits>
#include <memory>

namespace korvel {

namespace {

void putChunk(QByteArray &to, const char *type, const char *data, size_t size)
{
    const auto *bytes = reinterpret_cast<const unsigned char *>(data);
    const png::ChunkFrame frame = png::chunkFrame(type, bytes, quint32(size));
    to.append(reinterpret_cast<const char *>(frame.head), sizeof frame.head);
    to.append(data, int(size));
    to.append(reinterpret_cast<const char *>(frame.tail), sizeof frame.tail);
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

    QByteArray file(png::Signature, png::SignatureSize);
    file.reserve(int(packed) + 64);
    unsigned char header[13];
    png::header(header, quint32(image.width()), quint32(image.height()), 2); // RGB
    putChunk(file, "IHDR", reinterpret_cast<const char *>(header), sizeof header);
    putChunk(file, "IDAT", idat.constData(), packed);
    putChunk(file, "IEND", nullptr, 0);
    return file;
}

} // namespace korvel
