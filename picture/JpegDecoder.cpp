#include "JpegDecoder.h"

#include "picture/ImageHeader.h"
#include "picture/ImageSource.h"
#include "picture/JpegErrors.h"

namespace korvel {

namespace {

// Called while libjpeg reads, at least once a row of blocks: a file with more
// scans than any real one is given up before the extra passes add up.
void watchScans(j_common_ptr info)
{
    const auto *d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > ImageHeader::maxJpegScans(d->image_width, d->image_height))
        JpegErrors::fail(info);
}

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
    // Counted first, at no cost; libjpeg's own count stops whatever this walk missed.
    if (ImageHeader::jpegScans(bytes) >
        ImageHeader::maxJpegScans(info.image_width, info.image_height))
        return ImageDecoding::Outcome::Corrupt;
    // CMYK (and YCCK, which libjpeg turns into CMYK) as Adobe writes it, inverted.
    const bool cmyk = info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
    if (info.jpeg_color_space != JCS_GRAYSCALE && info.jpeg_color_space != JCS_YCbCr &&
        info.jpeg_color_space != JCS_RGB && !cmyk)
        return ImageDecoding::Outcome::Corrupt;
    // QImage's RGB32 byte order
    const J_COLOR_SPACE rgb32 = Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;
    info.out_color_space = cmyk ? JCS_CMYK : rgb32;
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
    JSAMPARRAY inks = cmyk ? (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info),
                                                       JPOOL_IMAGE, info.output_width * 4, 1)
                           : nullptr;
    while (info.output_scanline < info.output_height) {
        const int y = int(info.output_scanline);
        JSAMPROW row = cmyk ? inks[0] : image.scanLine(y);
        jpeg_read_scanlines(&info, &row, 1);
        if (!cmyk)
            continue;
        auto *out = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (unsigned x = 0; x < info.output_width; ++x, row += 4)
            out[x] = qRgb(row[3] * row[0] / 255, row[3] * row[1] / 255, row[3] * row[2] / 255);
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
    jpeg_decompress_struct info;
    JpegErrors errors;
    errors.install(info);
    jpeg_create_decompress(&info);
    jpeg_progress_mgr progress = {};
    progress.progress_monitor = watchScans;
    info.progress = &progress;
    // Beyond this libjpeg would need a backing store it does not have, and fails.
    info.mem->max_memory_to_use = long(ImageHeader::MaxJpegCoefficientBytes) + (16 << 20);
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
