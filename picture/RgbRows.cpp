#include "RgbRows.h"

#include <cstdint>
#include <cstring>

namespace korvel {

namespace {

using Bytes = uint8_t __attribute__((vector_size(16)));
using Words = uint16_t __attribute__((vector_size(32)));

// The shuffles below, in both compilers' spelling.
#if defined(__clang__)
#define KORVEL_SHUFFLE(a, b, ...) __builtin_shufflevector(a, b, __VA_ARGS__)
#else
#define KORVEL_SHUFFLE(a, b, ...) __builtin_shuffle(a, b, decltype(a){__VA_ARGS__})
#endif

template <bool Sub>
inline __attribute__((always_inline)) unsigned char *rgb(const QRgb *pixels, size_t width,
                                                         unsigned char *out)
{
    Bytes before = {}; // the four pixels before: none at the start
    size_t x = 0;
    for (; x + 4 <= width; x += 4) {
        Bytes four;
        std::memcpy(&four, pixels + x, sizeof four);
        Bytes samples = four;
        if (Sub) {
            samples -= KORVEL_SHUFFLE(before, four, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23,
                                      24, 25, 26, 27);
            before = four;
        }
        // Blue, green, red and alpha in memory; PNG wants red, green and blue.
        const Bytes bytes =
            KORVEL_SHUFFLE(samples, samples, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 0, 0, 0, 0);
        std::memcpy(out, &bytes, sizeof bytes);
        out += 12;
    }
    for (QRgb left = Sub && x > 0 ? pixels[x - 1] : 0; x < width; ++x) {
        const QRgb pixel = pixels[x];
        *out++ = static_cast<unsigned char>(qRed(pixel) - qRed(left));
        *out++ = static_cast<unsigned char>(qGreen(pixel) - qGreen(left));
        *out++ = static_cast<unsigned char>(qBlue(pixel) - qBlue(left));
        if (Sub)
            left = pixel;
    }
    return out;
}

inline __attribute__((always_inline)) void pixels(const unsigned char *rgb, size_t width, QRgb *out)
{
    size_t x = 0;
    // Sixteen bytes are read for twelve, never beyond the row.
    for (; x + 6 <= width; x += 4) {
        Bytes in;
        std::memcpy(&in, rgb + x * 3, sizeof in);
        const Bytes four =
            KORVEL_SHUFFLE(in, in, 2, 1, 0, 0, 5, 4, 3, 0, 8, 7, 6, 0, 11, 10, 9, 0) |
            Bytes{0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255, 0, 0, 0, 255};
        std::memcpy(out + x, &four, sizeof four);
    }
    for (; x < width; ++x)
        out[x] = qRgb(rgb[x * 3], rgb[x * 3 + 1], rgb[x * 3 + 2]);
}

inline __attribute__((always_inline)) void halved(const QRgb *upper, const QRgb *lower,
                                                  size_t width, QRgb *out)
{
    size_t x = 0;
    // Eight pixels of each row make four.
    for (; x + 8 <= width; x += 8) {
        Bytes a[2], b[2];
        std::memcpy(a, upper + x, sizeof a);
        std::memcpy(b, lower + x, sizeof b);
        const Words left =
            __builtin_convertvector(a[0], Words) + __builtin_convertvector(b[0], Words);
        const Words right =
            __builtin_convertvector(a[1], Words) + __builtin_convertvector(b[1], Words);
        const Words even =
            KORVEL_SHUFFLE(left, right, 0, 1, 2, 3, 8, 9, 10, 11, 16, 17, 18, 19, 24, 25, 26, 27);
        const Words odd =
            KORVEL_SHUFFLE(left, right, 4, 5, 6, 7, 12, 13, 14, 15, 20, 21, 22, 23, 28, 29, 30, 31);
        const Bytes mean = __builtin_convertvector((even + odd + 2) >> 2, Bytes);
        std::memcpy(out + x / 2, &mean, sizeof mean);
    }
    for (; x + 2 <= width; x += 2) {
        const QRgb a = upper[x], b = upper[x + 1], c = lower[x], d = lower[x + 1];
        out[x / 2] = qRgba((qRed(a) + qRed(b) + qRed(c) + qRed(d) + 2) >> 2,
                           (qGreen(a) + qGreen(b) + qGreen(c) + qGreen(d) + 2) >> 2,
                           (qBlue(a) + qBlue(b) + qBlue(c) + qBlue(d) + 2) >> 2,
                           (qAlpha(a) + qAlpha(b) + qAlpha(c) + qAlpha(d) + 2) >> 2);
    }
}

#undef KORVEL_SHUFFLE

// Each of them as it is and, on x86, built for the vector instructions that
// make its shuffles single instructions, chosen at run time.
template <bool Sub> unsigned char *rgbPlain(const QRgb *p, size_t width, unsigned char *out)
{
    return rgb<Sub>(p, width, out);
}

void pixelsPlain(const unsigned char *in, size_t width, QRgb *out)
{
    pixels(in, width, out);
}

void halvedPlain(const QRgb *upper, const QRgb *lower, size_t width, QRgb *out)
{
    halved(upper, lower, width, out);
}

#if defined(__x86_64__) || defined(__i386__)
template <bool Sub>
__attribute__((target("ssse3"))) unsigned char *rgbSsse3(const QRgb *p, size_t width,
                                                         unsigned char *out)
{
    return rgb<Sub>(p, width, out);
}

__attribute__((target("ssse3"))) void pixelsSsse3(const unsigned char *in, size_t width, QRgb *out)
{
    pixels(in, width, out);
}

__attribute__((target("avx2"))) void halvedAvx2(const QRgb *upper, const QRgb *lower, size_t width,
                                                QRgb *out)
{
    halved(upper, lower, width, out);
}
#endif

} // namespace

unsigned char *rgbRow(const QRgb *pixels, size_t width, unsigned char *out, bool sub)
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool ssse3 = __builtin_cpu_supports("ssse3");
    static const auto plain = ssse3 ? rgbSsse3<false> : rgbPlain<false>;
    static const auto filtered = ssse3 ? rgbSsse3<true> : rgbPlain<true>;
#else
    static const auto plain = rgbPlain<false>, filtered = rgbPlain<true>;
#endif
    return (sub ? filtered : plain)(pixels, width, out);
}

void pixelRow(const unsigned char *rgb, size_t width, QRgb *out)
{
#if defined(__x86_64__) || defined(__i386__)
    static const auto function = __builtin_cpu_supports("ssse3") ? pixelsSsse3 : pixelsPlain;
#else
    static const auto function = pixelsPlain;
#endif
    function(rgb, width, out);
}

void halvedRow(const QRgb *upper, const QRgb *lower, size_t width, QRgb *out)
{
#if defined(__x86_64__) || defined(__i386__)
    static const auto function = __builtin_cpu_supports("avx2") ? halvedAvx2 : halvedPlain;
#else
    static const auto function = halvedPlain;
#endif
    function(upper, lower, width, out);
}

} // namespace korvel
