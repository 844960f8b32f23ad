// The libFuzzer targets: KORVEL_FUZZ names the function below that takes the input.
#include "picture/ImageHeader.h"
#include "picture/JpegDecoder.h"
#include "picture/PngDecoder.h"
#include "settings/DisplaySettingsIo.h"

#include <QtEndian>

#include <zlib.h>

#include <cstdint>
#include <cstdlib>

namespace {

QByteArray bigEndian(quint32 value)
{
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray chunk(const QByteArray &typed) // a chunk's type and data, framed and checksummed
{
    const auto *bytes = reinterpret_cast<const Bytef *>(typed.constData());
    return bigEndian(quint32(typed.size() - 4)) + typed +
           bigEndian(quint32(crc32(0, bytes, uInt(typed.size()))));
}

void decodePng(const QByteArray &bytes)
{
    korvel::ImageHeader::read(bytes);
    korvel::decodeFastPng(bytes);
    korvel::decodeFastPng(bytes, QSize(2, 2));
    korvel::decodeFastPng(bytes, QSize(2, 2), QSize(1, 1));
}

// Random bytes rarely get past the checksums: the input is also taken with
// every chunk's checksum made right, and as the rows of a small PNG built
// around them (its first five bytes: width, height, depth, colour type, interlacing).
[[maybe_unused]] void png(const QByteArray &in)
{
    decodePng(in);
    QByteArray fixed = in.left(8);
    for (int at = 8; at + 12 <= in.size();) {
        const quint32 length = qFromBigEndian<quint32>(in.constData() + at);
        if (length > quint32(in.size() - at - 12))
            break;
        fixed += chunk(in.mid(at + 4, int(length) + 4));
        at += 12 + int(length);
    }
    decodePng(fixed);
    if (in.size() < 5)
        return;
    const auto *d = reinterpret_cast<const Bytef *>(in.constData());
    uLongf size = compressBound(uLong(in.size()));
    QByteArray rows(int(size), '\0');
    compress(reinterpret_cast<Bytef *>(rows.data()), &size, d + 5, uLong(in.size() - 5));
    rows.resize(int(size));
    const char header[5] = {"\1\2\4\10\20\10"[d[2] % 6], "\0\2\3\4\6\6"[d[3] % 6], 0, 0,
                            char(d[4] % 2)};
    decodePng("\x89PNG\r\n\x1a\n" +
              chunk("IHDR" + bigEndian(1 + d[0] % 64) + bigEndian(1 + d[1] % 64) +
                    QByteArray(header, 5)) +
              chunk("IDAT" + rows) + chunk("IEND"));
}

// The header check with its scan count, and the decoder at full and the
// smallest scale, and shrinking as it decodes.
[[maybe_unused]] void jpeg(const QByteArray &bytes)
{
    korvel::ImageHeader::read(bytes);
    korvel::decodeFastJpeg(bytes);
    korvel::decodeFastJpeg(bytes, QSize(1, 1));
    korvel::decodeFastJpeg(bytes, QSize(3, 2), QSize(3, 2));
}

// What is read, written back into the same bytes, must read the same again.
[[maybe_unused]] void settings(const QByteArray &bytes)
{
    const korvel::StoredDisplaySettings stored = korvel::readDisplaySettings(bytes);
    stored.diagnostics(QStringLiteral("settings.ini"));
    const korvel::DisplaySettings &a = stored.values;
    const korvel::DisplaySettings b =
        korvel::readDisplaySettings(korvel::withDisplaySettings(bytes, a)).values;
    if (a.Username != b.Username || a.IPaddress != b.IPaddress || a.Netmask != b.Netmask ||
        a.Gateway != b.Gateway || a.Hostname != b.Hostname || a.Over != b.Over ||
        a.OverText != b.OverText || a.Color != b.Color || a.FontSize != b.FontSize ||
        a.Logo != b.Logo || a.Position != b.Position || a.OriginalImage != b.OriginalImage)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    KORVEL_FUZZ(QByteArray(reinterpret_cast<const char *>(data), int(size)));
    return 0;
}
