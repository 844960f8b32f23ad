#pragma once

#include <QtGlobal>

namespace korvel {

// The framing that every PNG file and chunk shares, for the two writers.
namespace png {

inline constexpr char Signature[] = "\x89PNG\r\n\x1a\n";
inline constexpr int SignatureSize = 8;

void putBigEndian(unsigned char *to, quint32 value);

// The IHDR data of an 8-bit picture of `colourType` (2 RGB, 6 RGBA), no interlacing.
void header(unsigned char to[13], quint32 width, quint32 height, unsigned char colourType);

// What stands before and after a chunk's `size` bytes of `data`: its length
// and type, and its checksum.
struct ChunkFrame
{
    unsigned char head[8];
    unsigned char tail[4];
};
ChunkFrame chunkFrame(const char *type, const unsigned char *data, quint32 size);

} // namespace png
} // namespace korvel
