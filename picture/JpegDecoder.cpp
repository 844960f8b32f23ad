#include "JpegDecoder.h"

#include "picture/AreaScaling.h"
#include "picture/ImageHeader.h"
#include "picture/ImageSource.h"
#include "picture/JpegErrors.h"
#include "picture/LargeImage.h"

#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace korvel {

namespace {

// An output of at least this many pixels is decoded in two halves at once.
constexpr qint64 SplitPixels = 1500000;

// Called while libjpeg reads, at least once a row of blocks: a file with more
// scans than any real one is given up before the extra passes add up.
void watchScans(j_common_ptr info)
{
    const auto *d = reinterpret_cast<j_decompress_ptr>(info);
    if (d->input_scan_number > ImageHeader::maxJpegScans(d->image_width, d->image_height))
        JpegErrors::fail(info);
}

// One libjpeg decompression with its limits and error handling.
struct Decompression
{
    jpeg_decompress_struct info;
    JpegErrors errors;
    jpeg_progress_mgr progress = {};

    Decompression()
    {
        errors.install(info);
        jpeg_create_decompress(&info);
        progress.progress_monitor = watchScans;
        info.progress = &progress;
        // Beyond this libjpeg would need a backing store it does not have, and fails.
        info.mem->max_memory_to_use = long(ImageHeader::MaxJpegCoefficientBytes) + (16 << 20);
    }
    ~Decompression() { jpeg_destroy_decompress(&info); }
    Decompression(const Decompression &) = delete;
    Decompression &operator=(const Decompression &) = delete;

    // Runs `work`, which calls libjpeg and holds nothing that a longjmp could
    // skip the destructor of; an error of libjpeg makes it Corrupt.
    template <typename Work> ImageDecoding::Outcome guarded(const Work &work)
    {
        if (setjmp(errors.jump) != 0)
            return ImageDecoding::Outcome::Corrupt;
        return work();
    }
};

bool isCmyk(const jpeg_decompress_struct &info)
{
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

// Reads and checks the header and chooses the output's colours and scale, the
// same for every decompression of `bytes`.
ImageDecoding::Outcome prepare(jpeg_decompress_struct &info, const QByteArray &bytes,
                               const QSize &atLeast)
{
    jpeg_mem_src(&info, reinterpret_cast<const unsigned char *>(bytes.constData()),
                 static_cast<unsigned long>(bytes.size()));
    if (jpeg_read_header(&info, TRUE) != JPEG_HEADER_OK)
        return ImageDecoding::Outcome::Corrupt;
    if (qint64(info.image_width) * info.image_height > ImageSource::MaxPixels)
        return ImageDecoding::Outcome::TooLarge;
    // CMYK (and YCCK, which libjpeg turns into CMYK) as Adobe writes it, inverted.
    const bool cmyk = isCmyk(info);
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
    jpeg_calc_output_dimensions(&info);
    return ImageDecoding::Outcome::Decoded;
}

// The rows made from one row of blocks: a boundary between two of them is
// where a decompression that skips the rows above gives the very rows of one
// that read everything.
JDIMENSION rowGroup(const jpeg_decompress_struct &info)
{
    return JDIMENSION(info.min_DCT_scaled_size * info.max_v_samp_factor);
}

// The row where a second decompression takes over, or 0 where one decodes all.
// The second one skips the rows above, decoding only their entropy, so it
// starts below the middle, where both take about as long: the entropy takes
// about 9 ns a byte of the file and 0.4 a pixel of the image, the rest 1.2 ns
// a pixel of the image and 1 of the output (libjpeg-turbo's times here).
JDIMENSION splitRow(jpeg_decompress_struct &info, qint64 bytes)
{
    const double pixels = double(info.image_width) * info.image_height;
    const double output = double(info.output_width) * info.output_height;
    if (isCmyk(info) || jpeg_has_multiple_scans(&info) || info.arith_code || output < SplitPixels)
        return 0;
    const double entropy = 9 * double(bytes) + 0.4 * pixels;
    const double share = entropy / (entropy + 1.2 * pixels + output);
    return JDIMENSION(info.output_height / (2 - share)) / rowGroup(info) * rowGroup(info);
}

// The next row into `line`; `inks` is a row of CMYK for a CMYK file, or null.
void readRow(jpeg_decompress_struct &info, uchar *line, JSAMPARRAY inks)
{
    JSAMPROW row = inks ? inks[0] : line;
    jpeg_read_scanlines(&info, &row, 1);
    if (!inks)
        return;
    auto *out = reinterpret_cast<QRgb *>(line);
    for (unsigned x = 0; x < info.output_width; ++x, row += 4)
        out[x] = qRgb(row[3] * row[0] / 255, row[3] * row[1] / 255, row[3] * row[2] / 255);
}

// The rows of a decompression as a shrink asks for them, one at a time.
struct RowReader
{
    jpeg_decompress_struct *info;
    uchar *line;
    JSAMPARRAY inks;
};

const uint32_t *readUpTo(void *context, int row)
{
    auto *reader = static_cast<RowReader *>(context);
    while (int(reader->info->output_scanline) <= row)
        readRow(*reader->info, reader->line, reader->inks);
    return reinterpret_cast<const uint32_t *>(reader->line);
}

// Where the rows go: the picture's own rows, or, with `shrink`, its target
// rows `from` to `to` made from them as they come.
struct Output
{
    uchar *pixels;
    qsizetype stride;
    const AreaShrink *shrink = nullptr;
    int from = 0;
    int to = 0;
};

// The rows from the present one on, to `end` (the picture's own) or as far as
// the output's target rows need; the memory for a shrink's rows and sums is
// the caller's, so that an error of libjpeg leaves nothing undestroyed.
void decodeRows(jpeg_decompress_struct &info, const Output &output, JDIMENSION end, JSAMPARRAY inks,
                uchar *line, AreaShrink::Sums &sums)
{
    if (output.shrink == nullptr) {
        while (info.output_scanline < end)
            readRow(info, output.pixels + qsizetype(info.output_scanline) * output.stride, inks);
        return;
    }
    RowReader reader{&info, line, inks};
    output.shrink->shrinkRows(output.from, output.to, readUpTo, &reader, output.pixels,
                              output.stride, sums);
}

// The rows from `first` on, by a decompression of its own.
ImageDecoding::Outcome decodeBelow(const QByteArray &bytes, const QSize &atLeast,
                                   const Output &output, JDIMENSION first, QSize size)
{
    Decompression d;
    std::vector<uchar> line(size_t(size.width()) * 4);
    AreaShrink::Sums sums;
    return d.guarded([&] {
        const ImageDecoding::Outcome prepared = prepare(d.info, bytes, atLeast);
        if (prepared != ImageDecoding::Outcome::Decoded)
            return prepared;
        if (QSize(int(d.info.output_width), int(d.info.output_height)) != size ||
            first % rowGroup(d.info) != 0)
            return ImageDecoding::Outcome::Corrupt;
        jpeg_start_decompress(&d.info);
        if (jpeg_skip_scanlines(&d.info, first) != first)
            return ImageDecoding::Outcome::Corrupt;
        decodeRows(d.info, output, d.info.output_height, nullptr, line.data(), sums);
        if (output.shrink == nullptr)
            jpeg_finish_decompress(&d.info);
        return ImageDecoding::Outcome::Decoded;
    });
}

} // namespace

ImageDecoding decodeFastJpeg(const QByteArray &bytes, const QSize &atLeast, const QSize &shrinkTo,
                             QImage into)
{
    ImageDecoding result;
    if (bytes.size() < 3 || !bytes.startsWith("\xff\xd8\xff"))
        return result;
    Decompression d;
    QImage image;
    QSize decoded;
    std::optional<AreaShrink> shrink;
    std::vector<uchar> line;
    AreaShrink::Sums sums;
    JDIMENSION split = 0;
    result.outcome = d.guarded([&] {
        const ImageDecoding::Outcome prepared = prepare(d.info, bytes, atLeast);
        if (prepared != ImageDecoding::Outcome::Decoded)
            return prepared;
        // Counted first, at no cost; libjpeg's own count stops whatever this walk missed.
        if (ImageHeader::jpegScans(bytes) >
            ImageHeader::maxJpegScans(d.info.image_width, d.info.image_height))
            return ImageDecoding::Outcome::Corrupt;
        decoded = QSize(int(d.info.output_width), int(d.info.output_height));
        if (AreaShrink::shrinks(decoded, shrinkTo)) {
            shrink.emplace(decoded, shrinkTo);
            line.resize(size_t(decoded.width()) * 4);
        }
        const QSize size = shrink ? shrinkTo : decoded;
        image = into.size() == size && into.format() == QImage::Format_RGB32
                    ? std::move(into)
                    : newLargeImage(size, QImage::Format_RGB32);
        if (image.isNull())
            return ImageDecoding::Outcome::TooLarge;
        split = splitRow(d.info, bytes.size());
        return ImageDecoding::Outcome::Decoded;
    });
    if (result.outcome != ImageDecoding::Outcome::Decoded)
        return result;
    // Written row by row by both decompressions, each its own rows: with a
    // shrink, the target rows from the first one whose source rows all lie
    // below the split are the second one's.
    Output above{image.bits(), image.bytesPerLine()};
    Output below = above;
    if (shrink) {
        above.shrink = below.shrink = &*shrink;
        int first = 0;
        while (first < shrinkTo.height() && shrink->firstSourceRow(first) < int(split))
            ++first;
        above.to = below.from = first;
        below.to = shrinkTo.height();
        if (first == 0 || first == shrinkTo.height())
            split = 0;
    }
    ImageDecoding::Outcome belowOutcome = ImageDecoding::Outcome::Decoded;
    std::thread second;
    if (split > 0 && std::thread::hardware_concurrency() < 2)
        split = 0; // one core would decode the skipped rows' entropy twice
    if (split > 0) {
        try {
            second = std::thread([&, first = split] {
                belowOutcome = decodeBelow(bytes, atLeast, below, first, decoded);
            });
        } catch (const std::system_error &) {
            split = 0;
        }
    }
    if (split == 0 && shrink)
        above.to = shrinkTo.height();
    result.outcome = d.guarded([&] {
        jpeg_start_decompress(&d.info);
        JSAMPARRAY inks = nullptr;
        if (isCmyk(d.info))
            inks = (*d.info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&d.info), JPOOL_IMAGE,
                                               d.info.output_width * 4, 1);
        decodeRows(d.info, above, split > 0 ? split : d.info.output_height, inks, line.data(),
                   sums);
        if (split == 0 && !shrink)
            jpeg_finish_decompress(&d.info);
        return ImageDecoding::Outcome::Decoded;
    });
    if (second.joinable())
        second.join();
    if (result.outcome == ImageDecoding::Outcome::Decoded)
        result.outcome = belowOutcome;
    if (result.outcome == ImageDecoding::Outcome::Decoded)
        result.image = std::move(image);
    return result;
}

} // namespace korvel
