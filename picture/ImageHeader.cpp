#include "ImageHeader.h"

#include "picture/JpegErrors.h"

#include <cstring>

namespace korvel {

namespace {

quint32 bigEndian(const unsigned char *at)
{
    return quint32(at[0]) << 24 | quint32(at[1]) << 16 | quint32(at[2]) << 8 | quint32(at[3]);
}

quint64 roundUp(quint64 value, quint64 step)
{
    return (value + step - 1) / step * step;
}

// Reads the frame header; nothing here has a destructor a longjmp could skip.
bool readFrame(jpeg_decompress_struct &info, const QByteArray &bytes, ImageHeader &header)
{
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return false;
    header.width = info.image_width;
    header.height = info.image_height;
    if (!jpeg_has_multiple_scans(&info))
        return true;
    // All coefficients are kept until the last scan, each component's blocks
    // rounded up to whole units of its sampling factors, 64 of 2 bytes each.
    quint64 coefficients = 0;
    for (int i = 0; i < info.num_components; ++i) {
        const jpeg_component_info &component = info.comp_info[i];
        coefficients += roundUp(component.width_in_blocks, quint64(component.h_samp_factor)) *
                        roundUp(component.height_in_blocks, quint64(component.v_samp_factor)) *
                        sizeof(JBLOCK);
    }
    header.beyondLimits = coefficients > quint64(ImageHeader::MaxJpegCoefficientBytes);
    return true;
}

bool readJpeg(const QByteArray &bytes, ImageHeader &header)
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    errors.install(info);
    jpeg_create_decompress(&info);
    bool read = false;
    if (setjmp(errors.jump) == 0)
        read = readFrame(info, bytes, header);
    jpeg_destroy_decompress(&info);
    return read;
}

// Whether the quick PNG decoder takes the file: 8 bits a channel, grey or
// RGB with or without alpha, not interlaced, no palette or colour key (in
// any chunk, as that decoder looks at all of them).
bool quickPng(const QByteArray &bytes)
{
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const int colorType = data[25];
    if (data[24] != 8 || (colorType != 0 && colorType != 2 && colorType != 4 && colorType != 6) ||
        data[28] != 0)
        return false;
    for (size_t at = 8, size = size_t(bytes.size()); at + 8 <= size;) {
        const char *type = bytes.constData() + at + 4;
        if (std::memcmp(type, "tRNS", 4) == 0 || std::memcmp(type, "PLTE", 4) == 0)
            return false;
        at += 12 + size_t(bigEndian(data + at));
    }
    return true;
}

} // namespace

ImageHeader ImageHeader::read(const QByteArray &bytes)
{
    ImageHeader header;
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    static const unsigned char png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    Format format = Format::Unknown;
    if (bytes.size() >= 33 && std::memcmp(data, png, 8) == 0 &&
        std::memcmp(data + 12, "IHDR", 4) == 0) {
        header.width = bigEndian(data + 16);
        header.height = bigEndian(data + 20);
        format = Format::Png;
        header.beyondLimits = header.exceeds(MaxToolkitPngPixels) && !quickPng(bytes);
    } else if (bytes.startsWith("\xff\xd8\xff")) {
        if (readJpeg(bytes, header))
            format = Format::Jpeg;
        if (jpegScans(bytes) > maxJpegScans(header.width, header.height))
            header.beyondLimits = true;
    }
    if (header.width > 0 && header.height > 0)
        header.format = format;
    return header;
}

int ImageHeader::jpegScans(const QByteArray &bytes)
{
    // Markers are 0xff and a code; the ones with a segment give its length
    // next. Entropy-coded data between them never holds 0xff followed by
    // anything but 0 (a stuffed byte) or a restart marker, so a walk that
    // skips every other byte finds the same markers libjpeg does.
    const auto *data = reinterpret_cast<const unsigned char *>(bytes.constData());
    const size_t size = size_t(bytes.size());
    int scans = 0;
    for (size_t at = 2; at + 1 < size;) {
        if (data[at] != 0xff) {
            const void *mark = std::memchr(data + at, 0xff, size - 1 - at);
            if (mark == nullptr)
                break;
            at = size_t(static_cast<const unsigned char *>(mark) - data);
        }
        const unsigned code = data[at + 1];
        if (code == 0xff) {
            ++at;
            continue;
        }
        if (code == 0xd9)
            break;
        const bool standalone = code == 0x00 || code == 0x01 || (code >= 0xd0 && code <= 0xd7);
        if (standalone || at + 3 >= size) {
            at += 2;
            continue;
        }
        scans += code == 0xda ? 1 : 0;
        at += 2 + (size_t(data[at + 2]) << 8 | data[at + 3]);
    }
    return scans;
}

} // namespace korvel
