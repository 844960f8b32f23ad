#pragma once

#include <QByteArray>

namespace korvel {

// What an image file says about itself before anything is decoded. Only the
// two formats whose declared size is what gets decoded are recognised: PNG
// (the size in its header chunk) and JPEG (the size in its frame header, read
// by libjpeg, which also decodes it). Anything else, a container such as an
// icon file with a picture of any size inside included, is not an image here.
struct ImageHeader
{
    enum class Format { Unknown, Png, Jpeg };

    // More scans than this make a JPEG refused: real files have a dozen at
    // most, and each scan costs a pass over the whole picture. Pictures over
    // 4096 x 4096 may have fewer, down to 25 at the largest size, so that the
    // passes never add up to more than 100 over 4096 x 4096.
    static constexpr int MaxJpegScans = 100;
    static int maxJpegScans(quint32 width, quint32 height)
    {
        const quint64 pixels = quint64(width) * height;
        return pixels <= 4096 * 4096 ? MaxJpegScans
                                     : int(quint64(MaxJpegScans) * 4096 * 4096 / pixels);
    }
    // The most memory libjpeg may take for the coefficients of a JPEG that
    // is not decoded in one pass (progressive, or one scan per component):
    // that of an 8192 x 8192 photo with the usual halved colour resolution.
    static constexpr qint64 MaxJpegCoefficientBytes = qint64(192) * 1024 * 1024;

    // The most pixels of a PNG left to Qt's reader (16 bits a channel, a
    // palette or colour key, interlaced, fewer than 8 bits a pixel), which
    // decodes the whole picture, at up to 8 bytes a pixel, before it is scaled.
    static constexpr qint64 MaxToolkitPngPixels = qint64(4096) * 4096;

    Format format = Format::Unknown;
    quint32 width = 0;
    quint32 height = 0;
    // A picture that decoding would refuse: a JPEG with too many scans or
    // coefficients, a PNG for Qt's reader with too many pixels.
    bool beyondLimits = false;

    // The header of `bytes`; format stays Unknown for anything that is not a
    // PNG or JPEG with a readable, non-empty size.
    static ImageHeader read(const QByteArray &bytes);
    // The start-of-scan markers in a JPEG's bytes, counted without decoding.
    static int jpegScans(const QByteArray &bytes);

    // Whether the declared size is more than `maxPixels` (no overflow for any size).
    bool exceeds(qint64 maxPixels) const { return quint64(width) * height > quint64(maxPixels); }
};

} // namespace korvel
