#include "RgbRows.h"

#include <cstdint>
#include <cstring>

namespace korvel {

namespace {

using Bytes = uint8_t __attribute__((vector_size(16)));

template <bool Sub>
inline __attribute__((always_inline)) unsigned char *row(const QRgb *pixels, size_t width,
                                                         unsigned char *out)
{
    Bytes before = {}; // the four pixels before: none at the start
    size_t x = 0;
    for (; x + 4 <= width; x += 4) {
        Bytes four;
        std::memcpy(&four, pixels + x, sizeof four);
        Bytes samples = four;
        if (Sub) {
#if defined(__clang__)
            samples -= __builtin_shufflevector(before, four, 12, 13, 14, 15, 16, 17, 18, 19, 20, 21,
                                               22, 23, 24, 25, 26, 27);
#else
            samples -= __builtin_shuffle(
                before, four,
                Bytes{12, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27});
#endif
            before = four;
        }
        // Blue, green, red and alpha in memory; PNG wants red, green and blue.
#if defined(__clang__)
        const Bytes rgb = __builtin_shufflevector(samples, samples, 2, 1, 0, 6, 5, 4, 10, 9, 8, 14,
                                                  13, 12, 0, 0, 0, 0);
#else
        const Bytes rgb =
            __builtin_shuffle(samples, Bytes{2, 1, 0, 6, 5, 4, 10, 9, 8, 14, 13, 12, 0, 0, 0, 0});
#endif
        std::memcpy(out, &rgb, sizeof rgb);
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

using Row = unsigned char *(*)(const QRgb *, size_t, unsigned char *);

#if defined(__x86_64__) || defined(__i386__)
// With SSSE3 each shuffle is an instruction.
template <bool Sub>
__attribute__((target("ssse3"))) unsigned char *rowSsse3(const QRgb *pixels, size_t width,
                                                         unsigned char *out)
{
    return row<Sub>(pixels, width, out);
}
#endif

template <bool Sub> unsigned char *rowPlain(const QRgb *pixels, size_t width, unsigned char *out)
{
    return row<Sub>(pixels, width, out);
}

template <bool Sub> Row chosen()
{
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("ssse3"))
        return rowSsse3<Sub>;
#endif
    return rowPlain<Sub>;
}

} // namespace

unsigned char *rgbRow(const QRgb *pixels, size_t width, unsigned char *out, bool sub)
{
    static const Row plain = chosen<false>();
    static const Row filtered = chosen<true>();
    return (sub ? filtered : plain)(pixels, width, out);
}

} // namespace korvel
