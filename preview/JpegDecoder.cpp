#include "JpegDecoder.h"

#include "settings/ImageSource.h"

#include <csetjmp>
#include <cstdio>

#include <jpeglib.h>

namespace korvel {

namespace {

struct ErrorManager
{
    jpeg_error_mgr manager;
    std::jmp_buf jump;
};

[[noreturn]] void fail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<ErrorManager *>(info->err)->jump, 1);
}

void ignore(j_common_ptr, int) {}

// The decoding itself, with no object that a longjmp could skip the
// destructor of: `image` is made by the caller once the size is known.
ImageDecoding::Outcome decode(jpeg_decompress_struct &info, const QByteArray &bytes,
                              const QSize &atLeast, QImage &image)
{
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return ImageDecoding::Outcome::Corrupt;
    if (qint64(info.image_width) * info.image_height > ImageSource::MaxPixels)
        return ImageDecoding::Outcome::TooLarge;
    if (info.jpeg_color_space != JCS_GRAYSCALE && info.jpeg_color_space != JCS_YCbCr &&
        info.jpeg_color_space != JCS_RGB)
        return ImageDecoding::Outcome::NotHandled;
    info.out_color_space = JCS_EXT_BGRX; // QImage's RGB32 byte order on little-endian
    info.scale_num = 1;
    info.scale_denom = 1;
    for (unsigned denom = 8; denom > 1 && atLeast.isValid(); denom /= 2) {
        if (info.image_width / denom >= unsigned(atLeast.width()) &&
            info.image_height / denom >= unsigned(atLeast.height())) {
            info.scale_denom = denom;
            break;
        }
    }
    jpeg_start_decompress(&info);
    image = QImage(int(info.output_width), int(info.output_height), QImage::Format_RGB32);
    if (image.isNull())
        return ImageDecoding::Outcome::TooLarge;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = image.scanLine(int(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return ImageDecoding::Outcome::Decoded;
}

} // namespace

ImageDecoding decodeFastJpeg(const QByteArray &bytes, const QSize &atLeast)
{
    ImageDecoding result;
    if (bytes.size() < 3 || !bytes.startsWith("\xff\xd8\xff"))
        return result;
    if (Q_BYTE_ORDER != Q_LITTLE_ENDIAN)
        return result;
    jpeg_decompress_struct info;
    ErrorManager errors;
    info.err = jpeg_std_error(&errors.manager);
    errors.manager.error_exit = fail;
    errors.manager.emit_message = ignore;
    jpeg_create_decompress(&info);
    QImage image;
    if (setjmp(errors.jump) == 0) {
        result.outcome = decode(info, bytes, atLeast, image);
    } else {
        result.outcome = ImageDecoding::Outcome::Corrupt;
    }
    jpeg_destroy_decompress(&info);
    if (result.outcome == ImageDecoding::Outcome::Decoded)
        result.image = std::move(image);
    return result;
}

} // namespace korvel
