// libFuzzer target: the JPEG header check with its scan count and the quick
// JPEG decoder, at full and at the smallest scale.
#include "preview/JpegDecoder.h"
#include "settings/ImageHeader.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes =
        QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    korvel::ImageHeader::read(bytes);
    korvel::decodeFastJpeg(bytes);
    korvel::decodeFastJpeg(bytes, QSize(1, 1));
    return 0;
}
