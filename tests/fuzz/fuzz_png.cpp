// libFuzzer target: the PNG header check and the quick PNG decoder, at full
// and at half size. Random bytes rarely get past the checksums, so the input
// is taken three ways: as it is; with every chunk's checksum made right; and
// as a small PNG built around it (the first five bytes give width, height,
// colour type, depth and interlacing, the rest are the filtered rows, which
// are compressed here).
#include "preview/PngDecoder.h"
#include "settings/ImageHeader.h"

#include <zlib.h>

#include <cstddef>
#include <cstdint>

namespace {

void decode(const QByteArray &bytes)
{
    korvel::ImageHeader::read(bytes);
    korvel::decodeFastPng(bytes);
    korvel::decodeFastPng(bytes, QSize(2, 2));
}

quint32 bigEndian(const QByteArray &bytes, int at)
{
    const auto *d = reinterpret_cast<const unsigned char *>(bytes.constData()) + at;
    return quint32(d[0]) << 24 | quint32(d[1]) << 16 | quint32(d[2]) << 8 | d[3];
}

QByteArray bigEndian(quint32 value)
{
    const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
    return QByteArray(bytes, 4);
}

QByteArray chunk(const char *type, const QByteArray &data)
{
    const QByteArray typed = type + data;
    const auto crc =
        crc32(0, reinterpret_cast<const Bytef *>(typed.constData()), uInt(typed.size()));
    return bigEndian(quint32(data.size())) + typed + bigEndian(quint32(crc));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), int(size));
    decode(bytes);

    QByteArray fixed = bytes;
    for (int at = 8; at + 12 <= fixed.size();) {
        const quint32 length = bigEndian(fixed, at);
        if (length > quint32(fixed.size() - at - 12))
            break;
        const auto *type = reinterpret_cast<const Bytef *>(fixed.constData()) + at + 4;
        fixed.replace(at + 8 + int(length), 4, bigEndian(quint32(crc32(0, type, length + 4))));
        at += 12 + int(length);
    }
    if (fixed != bytes)
        decode(fixed);

    if (size < 5)
        return 0;
    const QByteArray rows = bytes.mid(5);
    uLongf packedSize = compressBound(uLong(rows.size()));
    QByteArray packed(int(packedSize), '\0');
    compress(reinterpret_cast<Bytef *>(packed.data()), &packedSize,
             reinterpret_cast<const Bytef *>(rows.constData()), uLong(rows.size()));
    packed.resize(int(packedSize));
    const char header[5] = {"\1\2\4\10\20\10\10"[data[2] % 7], "\0\2\3\4\6\6\2"[data[3] % 7], 0, 0,
                            char(data[4] % 2)};
    decode("\x89PNG\r\n\x1a\n" +
           chunk("IHDR", bigEndian(1 + data[0] % 64) + bigEndian(1 + data[1] % 64) +
                             QByteArray(header, 5)) +
           chunk("IDAT", packed) + chunk("IEND", QByteArray()));
    return 0;
}
