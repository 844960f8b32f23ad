#include "PngWriter.h"

#include "PngChunks.h"
#include "RgbRows.h"

#include <QByteArray>
#include <QImage>

#include <isa-l/igzip_lib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace korvel {

namespace {

// Collects bytes and writes them in large pieces.
class FileSink
{
public:
    explicit FileSink(int fd) : m_fd(fd) { m_buffer.reserve(Size); }

    void put(const void *data, size_t size)
    {
        const auto *bytes = static_cast<const char *>(data);
        // A large piece goes out as it is, after what was collected.
        if (size >= Size / 2) {
            flush();
            write(bytes, size);
            return;
        }
        while (size > 0 && m_ok) {
            const size_t take = std::min(size, Size - static_cast<size_t>(m_buffer.size()));
            m_buffer.append(bytes, static_cast<int>(take));
            bytes += take;
            size -= take;
            if (static_cast<size_t>(m_buffer.size()) == Size)
                flush();
        }
    }

    bool flush()
    {
        write(m_buffer.constData(), size_t(m_buffer.size()));
        m_buffer.clear();
        return m_ok;
    }

private:
    void write(const char *data, size_t size)
    {
        size_t done = 0;
        while (m_ok && done < size) {
            const ssize_t written = ::write(m_fd, data + done, size - done);
            if (written < 0 && errno == EINTR)
                continue;
            m_ok = written > 0;
            done += size_t(std::max<ssize_t>(written, 0));
        }
    }

    static constexpr size_t Size = 1 << 20;
    int m_fd;
    QByteArray m_buffer;
    bool m_ok = true;
};

void putChunk(FileSink &sink, const char *type, const unsigned char *data, quint32 size)
{
    const png::ChunkFrame frame = png::chunkFrame(type, data, size);
    sink.put(frame.head, sizeof frame.head);
    sink.put(data, size);
    sink.put(frame.tail, sizeof frame.tail);
}

// The zlib stream of the image data, cut into IDAT chunks as it grows:
// stored blocks of at most 65535 bytes, then the Adler-32 of the raw data.
class StoredStream
{
public:
    StoredStream(FileSink &sink, qint64 rawSize) : m_sink(sink), m_rawLeft(rawSize)
    {
        m_chunk.reserve(ChunkSize);
        const unsigned char header[2] = {0x78, 0x01};
        append(header, sizeof header);
    }

    void put(const unsigned char *data, qint64 size)
    {
        m_adler = isal_adler32(m_adler, data, static_cast<uint64_t>(size));
        while (size > 0) {
            if (m_blockLeft == 0) {
                const int length = static_cast<int>(std::min<qint64>(m_rawLeft, 65535));
                const unsigned char block[5] = {
                    static_cast<unsigned char>(m_rawLeft <= 65535 ? 1 : 0),
                    static_cast<unsigned char>(length), static_cast<unsigned char>(length >> 8),
                    static_cast<unsigned char>(~length), static_cast<unsigned char>(~length >> 8)};
                append(block, sizeof block);
                m_blockLeft = length;
            }
            const int take = static_cast<int>(std::min<qint64>(size, m_blockLeft));
            append(data, take);
            data += take;
            size -= take;
            m_blockLeft -= take;
            m_rawLeft -= take;
        }
    }

    void finish()
    {
        unsigned char tail[4];
        png::putBigEndian(tail, static_cast<quint32>(m_adler));
        append(tail, sizeof tail);
        emitChunk();
    }

private:
    static constexpr int ChunkSize = 1 << 20;

    void append(const unsigned char *data, int size)
    {
        while (size > 0) {
            const int take = std::min(size, ChunkSize - m_chunk.size());
            m_chunk.append(reinterpret_cast<const char *>(data), take);
            data += take;
            size -= take;
            if (m_chunk.size() == ChunkSize)
                emitChunk();
        }
    }

    void emitChunk()
    {
        if (m_chunk.isEmpty())
            return;
        putChunk(m_sink, "IDAT", reinterpret_cast<const unsigned char *>(m_chunk.constData()),
                 static_cast<quint32>(m_chunk.size()));
        m_chunk.clear();
    }

    FileSink &m_sink;
    QByteArray m_chunk;
    qint64 m_rawLeft;
    int m_blockLeft = 0;
    uint32_t m_adler = 1;
};

} // namespace

bool writeFastPng(const QImage &source, int fd)
{
    if (source.isNull())
        return false;
    const bool alpha = source.hasAlphaChannel();
    const QImage image =
        source.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    const int channels = alpha ? 4 : 3;
    const int width = image.width();
    const int height = image.height();

    FileSink sink(fd);
    sink.put(reinterpret_cast<const unsigned char *>(png::Signature), png::SignatureSize);
    unsigned char header[13];
    png::header(header, static_cast<quint32>(width), static_cast<quint32>(height), alpha ? 6 : 2);
    putChunk(sink, "IHDR", header, sizeof header);

    const qint64 rowSize = 1 + qint64(width) * channels;
    StoredStream stream(sink, rowSize * height);
    // The filter type 0 leads each row.
    QByteArray row(static_cast<int>(rowSize + qint64(RgbRowSlack)), '\0');
    auto *out = reinterpret_cast<unsigned char *>(row.data());
    for (int y = 0; y < height; ++y) {
        const auto *pixels = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        if (alpha) {
            unsigned char *to = out + 1;
            for (int x = 0; x < width; ++x) {
                const QRgb pixel = pixels[x];
                *to++ = static_cast<unsigned char>(qRed(pixel));
                *to++ = static_cast<unsigned char>(qGreen(pixel));
                *to++ = static_cast<unsigned char>(qBlue(pixel));
                *to++ = static_cast<unsigned char>(qAlpha(pixel));
            }
        } else {
            rgbRow(pixels, size_t(width), out + 1, false);
        }
        stream.put(out, rowSize);
    }
    stream.finish();
    putChunk(sink, "IEND", nullptr, 0);
    return sink.flush();
}

} // namespace korvel
