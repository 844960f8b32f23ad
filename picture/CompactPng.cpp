#include "CompactPng.h"

#include "PngChunks.h"
#include "RgbRows.h"

#include <QImage>

#include <isa-l/igzip_lib.h>
#include <zlib.h>

#include <algorithm>
#include <limits>
#include <system_error>
#include <thread>
#include <vector>

namespace korvel {

namespace {

// Rows filtered and handed to the compressor at a time: they stay in the caches.
constexpr int RowsAtATime = 16;
constexpr unsigned MaxThreads = 16;

void putChunk(QByteArray &to, const png::ChunkFrame &frame, const unsigned char *data, size_t size)
{
    to.append(reinterpret_cast<const char *>(frame.head), sizeof frame.head);
    to.append(reinterpret_cast<const char *>(data), int(size));
    to.append(reinterpret_cast<const char *>(frame.tail), sizeof frame.tail);
}

void putChunk(QByteArray &to, const char *type, const unsigned char *data, size_t size)
{
    putChunk(to, png::chunkFrame(type, data, quint32(size)), data, size);
}

// One band of rows, deflated on its own: a byte-aligned piece of the
// picture's deflate stream that needs nothing before it, the last piece
// ending the stream.
struct Band
{
    int from = 0;
    int to = 0;
    bool last = false;
    std::vector<unsigned char> deflated;
    uLong adler = 1;            // of the band's filtered bytes
    png::ChunkFrame frame = {}; // of its image data chunk
    bool ok = false;

    void deflate(const QImage &image)
    {
        const size_t width = size_t(image.width());
        const size_t rowSize = 1 + width * 3;
        std::vector<unsigned char> filtered(rowSize * RowsAtATime + RgbRowSlack);
        std::vector<unsigned char> levelBuffer(ISAL_DEF_LVL1_DEFAULT);
        isal_zstream stream;
        isal_deflate_init(&stream);
        stream.level = 1;
        stream.level_buf = levelBuffer.data();
        stream.level_buf_size = uint32_t(levelBuffer.size());
        // About a third of the pixels' bytes at first; more where that is short.
        deflated.resize(rowSize * size_t(to - from) / 3 + 4096);
        for (int y = from; y < to; y += RowsAtATime) {
            const int rows = std::min(RowsAtATime, to - y);
            unsigned char *out = filtered.data();
            for (int r = y; r < y + rows; ++r) {
                *out++ = 1; // Sub
                out = rgbRow(reinterpret_cast<const QRgb *>(image.constScanLine(r)), width, out,
                             true);
            }
            const size_t size = size_t(out - filtered.data());
            adler = isal_adler32(uint32_t(adler), filtered.data(), size);
            const bool end = y + rows == to;
            stream.next_in = filtered.data();
            stream.avail_in = uint32_t(size);
            stream.end_of_stream = end && last;
            // A band before the last ends on a byte, so that the next one follows it.
            stream.flush = end && !last ? SYNC_FLUSH : NO_FLUSH;
            for (;;) {
                stream.next_out = deflated.data() + stream.total_out;
                stream.avail_out = uint32_t(deflated.size() - stream.total_out);
                if (isal_deflate(&stream) != COMP_OK)
                    return;
                if (stream.avail_in == 0 && stream.avail_out > 0)
                    break;
                deflated.resize(deflated.size() + deflated.size() / 2);
            }
        }
        deflated.resize(stream.total_out);
        frame = png::chunkFrame("IDAT", deflated.data(), quint32(deflated.size()));
        ok = !last || stream.internal_state.state == ZSTATE_END;
    }
};

} // namespace

QByteArray encodeCompactPng(const QImage &source)
{
    if (source.isNull())
        return {};
    const QImage image = source.convertToFormat(
        source.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied : QImage::Format_RGB32);
    const size_t rowSize = 1 + size_t(image.width()) * 3;
    if (image.isNull() ||
        rowSize * size_t(image.height()) > size_t(std::numeric_limits<int>::max() / 2))
        return {};

    // A band of rows for each core, deflated side by side.
    const int height = image.height();
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, MaxThreads);
    const int count = std::clamp(height / RowsAtATime, 1, int(threads));
    std::vector<Band> bands(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        bands[size_t(i)].from = int(qint64(height) * i / count);
        bands[size_t(i)].to = int(qint64(height) * (i + 1) / count);
    }
    bands.back().last = true;
    std::vector<std::thread> helpers;
    for (size_t i = 1; i < bands.size(); ++i) {
        try {
            helpers.emplace_back([&image, band = &bands[i]] { band->deflate(image); });
        } catch (const std::system_error &) {
            bands[i].deflate(image);
        }
    }
    bands.front().deflate(image);
    for (std::thread &helper : helpers)
        helper.join();

    // The zlib stream: its header, the bands' pieces in order, the checksum of all.
    size_t size = 64;
    uLong adler = 1;
    for (const Band &band : bands) {
        if (!band.ok)
            return {};
        size += band.deflated.size() + 12;
        adler = adler32_combine(adler, band.adler, z_off_t(rowSize) * (band.to - band.from));
    }
    if (size > size_t(std::numeric_limits<int>::max()))
        return {};
    QByteArray file(png::Signature, png::SignatureSize);
    file.reserve(int(size));
    unsigned char header[13];
    png::header(header, quint32(image.width()), quint32(height), 2); // RGB
    putChunk(file, "IHDR", header, sizeof header);
    const unsigned char zlibHeader[2] = {0x78, 0x01}; // deflate, 32 KiB window, fast
    putChunk(file, "IDAT", zlibHeader, sizeof zlibHeader);
    for (const Band &band : bands)
        putChunk(file, band.frame, band.deflated.data(), band.deflated.size());
    unsigned char checksum[4];
    png::putBigEndian(checksum, quint32(adler));
    putChunk(file, "IDAT", checksum, sizeof checksum);
    putChunk(file, "IEND", nullptr, 0);
    return file;
}

} // namespace korvel
