#include "PngDecoder.h"

#include "picture/ImageSource.h"
#include "picture/LargeImage.h"

#include <QVector>

#include <libdeflate.h>

#include <algorithm>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/mman.h>
#include <unistd.h>

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
        for (int x = 0; x < width; ++x, in += 3)
            out[x] = qRgb(in[0], in[1], in[2]);
        break;
    default:
        for (int x = 0; x < width; ++x, in += 4)
            out[x] = qRgba(in[0], in[1], in[2], in[3]);
        break;
    }
}

// How many rows are ready, from one thread to another.
class RowHandOver
{
public:
    static constexpr int Batch = 64;

    void publish(int rows)
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_ready = rows;
        }
        m_changed.notify_one();
    }
    void finish()
    {
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            m_finished = true;
        }
        m_changed.notify_one();
    }
    // Waits until more than `rows` rows are ready, or no more will come.
    int waitBeyond(int rows)
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        m_changed.wait(lock, [&] { return m_ready > rows || m_finished; });
        return m_ready;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_ready = 0;
    bool m_finished = false;
};

struct Decompressor
{
    void operator()(libdeflate_decompressor *d) const { libdeflate_free_decompressor(d); }
};

} // namespace

ImageDecoding decodeFastPng(const QByteArray &bytes, const QSize &atLeast)
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

    // Gather the image data, checking the chunks as Qt's reader does.
    // The image data of several chunks is copied together; that of one is used where it is.
    std::vector<unsigned char> compressed;
    const unsigned char *single = nullptr;
    size_t singleSize = 0;
    int chunks = 0;
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
        if (std::memcmp(type, "IDAT", 4) == 0 && ++chunks == 1) {
            single = type + 4;
            singleSize = length;
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            if (chunks == 2)
                compressed.assign(single, single + singleSize);
            compressed.insert(compressed.end(), type + 4, type + 4 + length);
        }
        ended = std::memcmp(type, "IEND", 4) == 0;
        at += 12 + length;
    }
    result.outcome = Outcome::Corrupt;
    if (!ended || chunks == 0)
        return result;

    const int rowSize = int(width) * channels;
    const size_t rawSize = size_t(height) * size_t(rowSize + 1);
    std::unique_ptr<unsigned char[]> raw(new (std::nothrow) unsigned char[rawSize]);
    const std::unique_ptr<libdeflate_decompressor, Decompressor> inflater(
        libdeflate_alloc_decompressor());
    size_t got = 0;
    if (!raw || !inflater ||
        libdeflate_zlib_decompress(inflater.get(), chunks == 1 ? single : compressed.data(),
                                   chunks == 1 ? singleSize : compressed.size(), raw.get(), rawSize,
                                   &got) != LIBDEFLATE_SUCCESS ||
        got != rawSize)
        return result;
    compressed = {};

    const bool alpha = channels == 2 || channels == 4;
    const int halve = atLeast.isValid() && int(width / 2) >= atLeast.width() &&
                              int(height / 2) >= atLeast.height()
                          ? 2
                          : 1;
    // A halved image with alpha is the mean of premultiplied pixels.
    QImage image = newLargeImage(QSize(int(width) / halve, int(height) / halve),
                                 !alpha       ? QImage::Format_RGB32
                                 : halve == 2 ? QImage::Format_ARGB32_Premultiplied
                                              : QImage::Format_ARGB32);
    if (image.isNull())
        return result;
    const auto rawRow = [&](int y) { return raw.get() + size_t(y) * size_t(rowSize + 1) + 1; };
    // Rows are unfiltered in order here, and turned into pixels on a second
    // thread as soon as a batch of them is ready.
    RowHandOver handOver;
    // The raw rows the converter is done with go back to the system as it
    // goes, so that the raw image and the picture are never both whole in memory.
    const size_t page = size_t(::sysconf(_SC_PAGESIZE));
    size_t released = (size_t(raw.get()) + page - 1) / page * page;
    const auto release = [&](int rows) {
        if (rows <= 0)
            return;
        const size_t end = (size_t(raw.get()) + size_t(rows) * size_t(rowSize + 1)) / page * page;
        if (end > released)
            ::madvise(reinterpret_cast<void *>(released), end - released, MADV_DONTNEED);
        released = std::max(released, end);
    };
    std::thread converter([&] {
        QVector<QRgb> first(halve == 2 ? int(width) : 0), second(first.size());
        for (int y = 0, ready; (ready = handOver.waitBeyond(y)) > y;) {
            for (; y + halve <= ready && y / halve < image.height(); y += halve) {
                auto *out = reinterpret_cast<QRgb *>(image.scanLine(y / halve));
                if (halve == 1) {
                    convertRow(rawRow(y), out, int(width), channels);
                    continue;
                }
                convertRow(rawRow(y), first.data(), int(width), channels);
                convertRow(rawRow(y + 1), second.data(), int(width), channels);
                for (int x = 0; alpha && x < int(width); ++x) {
                    first[x] = qPremultiply(first[x]);
                    second[x] = qPremultiply(second[x]);
                }
                for (int x = 0; x < image.width(); ++x) {
                    const QRgb a = first[2 * x], b = first[2 * x + 1];
                    const QRgb c = second[2 * x], d = second[2 * x + 1];
                    out[x] = qRgba((qRed(a) + qRed(b) + qRed(c) + qRed(d) + 2) >> 2,
                                   (qGreen(a) + qGreen(b) + qGreen(c) + qGreen(d) + 2) >> 2,
                                   (qBlue(a) + qBlue(b) + qBlue(c) + qBlue(d) + 2) >> 2,
                                   (qAlpha(a) + qAlpha(b) + qAlpha(c) + qAlpha(d) + 2) >> 2);
                }
            }
            // The row above the last converted one may still be read by the unfiltering.
            release(y - 1);
            // An odd last row of a halved image has no partner and is left out.
            if (y + halve > int(height) || y / halve >= image.height())
                break;
        }
    });
    const unsigned char *previous = nullptr;
    bool intact = true;
    for (int y = 0; y < int(height) && intact; ++y) {
        unsigned char *row = raw.get() + size_t(y) * size_t(rowSize + 1);
        intact = unfilter(row[0], row + 1, previous, rowSize, channels);
        previous = row + 1;
        if (intact && ((y + 1) % RowHandOver::Batch == 0 || y + 1 == int(height)))
            handOver.publish(y + 1);
    }
    handOver.finish();
    converter.join();
    if (!intact)
        return result;
    result.outcome = Outcome::Decoded;
    result.image = std::move(image);
    return result;
}

} // namespace korvel
