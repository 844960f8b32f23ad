#include "PngChunks.h"

#include <cstring>

#include <libdeflate.h>

namespace korvel::png {

void putBigEndian(unsigned char *to, quint32 value)
{
    to[0] = static_cast<unsigned char>(value >> 24);
    to[1] = static_cast<unsigned char>(value >> 16);
    to[2] = static_cast<unsigned char>(value >> 8);
    to[3] = static_cast<unsigned char>(value);
}

void header(unsigned char to[13], quint32 width, quint32 height, unsigned char colourType)
{
    putBigEndian(to, width);
    putBigEndian(to + 4, height);
    to[8] = 8; // bits per channel
    to[9] = colourType;
    to[10] = to[11] = to[12] = 0; // deflate, adaptive filters, no interlacing
}

ChunkFrame chunkFrame(const char *type, const unsigned char *data, quint32 size)
{
    ChunkFrame frame;
    putBigEndian(frame.head, size);
    std::memcpy(frame.head + 4, type, 4);
    quint32 crc = libdeflate_crc32(0, frame.head + 4, 4);
    if (size > 0) // the checksum of no buffer starts over
        crc = libdeflate_crc32(crc, data, size);
    putBigEndian(frame.tail, crc);
    return frame;
}

} // namespace korvel::png
