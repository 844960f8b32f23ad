#include "AreaScaling.h"

#include "picture/LargeImage.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <system_error>
#include <thread>
#include <vector>

namespace korvel {

namespace {

// A whole source pixel's weight, in fixed point.
constexpr int Unit = 1 << 14;
// More threads than this gain nothing on a picture of a few megapixels.
constexpr unsigned MaxThreads = 4;

// The blue, green, red and alpha of a pixel, or their weighted sums, side by side.
using Channels = uint32_t __attribute__((vector_size(16)));
using PixelBytes = uint8_t __attribute__((vector_size(4)));

// A pixel's channels, widened.
struct Widen
{
    static inline __attribute__((always_inline)) Channels channels(const uint32_t *pixel)
    {
        PixelBytes bytes;
        std::memcpy(&bytes, pixel, sizeof bytes);
        return __builtin_convertvector(bytes, Channels);
    }
};

#if defined(__x86_64__) || defined(__i386__)
// The same in one step.
struct WidenSse41
{
    static inline __attribute__((always_inline)) Channels channels(const uint32_t *pixel)
    {
        Channels wide;
        asm("pmovzxbd %1, %0" : "=x"(wide) : "m"(*pixel));
        return wide;
    }
};
#endif

// The source pixels under each target pixel along one axis: the first one,
// cut, with its weight; `whole` more at `step` each; then the last one with
// what is left of Unit (possibly nothing).
struct Footprint
{
    int first;
    int firstWeight;
    int whole;
    int lastWeight;
};

struct Axis
{
    std::vector<Footprint> footprints;
    int step = 0;
};

Axis axis(int source, int target)
{
    Axis a;
    const int64_t increment = (int64_t(source) << 16) / target;
    a.step = int(((int64_t(target) << 14) + source - 1) / source);
    a.footprints.resize(size_t(target));
    int64_t position = 0;
    for (Footprint &f : a.footprints) {
        f.first = int(position >> 16);
        f.firstWeight = int(((0x10000 - (position & 0xffff)) * a.step) >> 16);
        int left = Unit - f.firstWeight;
        f.whole = 0;
        while (left > a.step) {
            left -= a.step;
            ++f.whole;
        }
        f.lastWeight = left;
        position += increment;
    }
    return a;
}

using Bytes = uint8_t __attribute__((vector_size(16)));

// Rows `from` to `to` of the target. Each source row is summed under every
// target column once: a row that the next target row starts on is added to
// both at once.
template <typename Pixels>
inline __attribute__((always_inline)) void shrinkBand(const QImage &image, const Axis &across,
                                                      const Axis &down, uchar *target,
                                                      qsizetype stride, int from, int to)
{
    const size_t width = across.footprints.size();
    std::vector<Channels> sums(width), next(width);
    const uint32_t step = uint32_t(across.step);
    bool started = false; // the first row of the target row is in `sums` already
    for (int t = from; t < to; ++t) {
        const Footprint &f = down.footprints[size_t(t)];
        const Footprint *following = t + 1 < to ? &down.footprints[size_t(t + 1)] : nullptr;
        if (!started)
            std::fill(sums.begin(), sums.end(), Channels{0, 0, 0, 0});
        bool shared = false;
        for (int i = started ? 1 : 0; i <= f.whole + 1; ++i) {
            const uint32_t weight = uint32_t(i == 0         ? f.firstWeight
                                             : i <= f.whole ? down.step
                                                            : f.lastWeight);
            if (weight == 0)
                continue;
            const int y = f.first + i;
            shared = following != nullptr && following->first == y && following->firstWeight > 0;
            const uint32_t nextWeight = shared ? uint32_t(following->firstWeight) : 0;
            const auto *pixels = reinterpret_cast<const uint32_t *>(image.constScanLine(y));
            for (size_t x = 0; x < width; ++x) {
                const Footprint &c = across.footprints[x];
                const uint32_t *p = pixels + c.first;
                Channels sum = Pixels::channels(p) * uint32_t(c.firstWeight);
                for (int k = 0; k < c.whole; ++k)
                    sum += Pixels::channels(++p) * step;
                if (c.lastWeight > 0)
                    sum += Pixels::channels(p + 1) * uint32_t(c.lastWeight);
                sum >>= 4;
                sums[x] += sum * weight;
                if (shared)
                    next[x] = sum * nextWeight;
            }
        }
        auto *out = target + t * stride;
        for (size_t x = 0; x < width; ++x) {
            // The sums may pass 2^31; their top bytes are the channels.
            const Bytes top = Bytes(sums[x] >> 24);
#if defined(__clang__)
            const Bytes pixel = __builtin_shufflevector(top, top, 0, 4, 8, 12, 0, 4, 8, 12, 0, 4, 8,
                                                        12, 0, 4, 8, 12);
#else
            const Bytes pixel =
                __builtin_shuffle(top, Bytes{0, 4, 8, 12, 0, 4, 8, 12, 0, 4, 8, 12, 0, 4, 8, 12});
#endif
            std::memcpy(out + x * 4, &pixel, 4);
        }
        started = shared;
        if (shared)
            sums.swap(next);
    }
}

#if defined(__x86_64__) || defined(__i386__)
// With SSE4.1 a pixel's bytes widen and its sums multiply in one step each.
__attribute__((target("sse4.1"))) void shrinkBandSse41(const QImage &image, const Axis &across,
                                                       const Axis &down, uchar *target,
                                                       qsizetype stride, int from, int to)
{
    shrinkBand<WidenSse41>(image, across, down, target, stride, from, to);
}
#endif

void shrinkRows(const QImage &image, const Axis &across, const Axis &down, uchar *target,
                qsizetype stride, int from, int to)
{
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("sse4.1"))
        return shrinkBandSse41(image, across, down, target, stride, from, to);
#endif
    shrinkBand<Widen>(image, across, down, target, stride, from, to);
}

} // namespace

std::optional<QImage> shrinkByArea(const QImage &image, const QSize &size)
{
    if (image.format() != QImage::Format_RGB32 || size.isEmpty() || size.width() >= image.width() ||
        size.height() >= image.height())
        return std::nullopt;
    QImage target = newLargeImage(size, QImage::Format_RGB32);
    if (target.isNull())
        return QImage();
    const Axis across = axis(image.width(), size.width());
    const Axis down = axis(image.height(), size.height());
    uchar *pixels = target.bits();
    const qsizetype stride = target.bytesPerLine();
    // Each thread its own band of rows, the last one on this thread.
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, MaxThreads);
    std::vector<std::thread> helpers;
    int from = 0;
    for (unsigned i = 0; i < threads; ++i) {
        const int to = int(int64_t(size.height()) * (i + 1) / threads);
        if (i + 1 < threads) {
            try {
                helpers.emplace_back(
                    [&, from, to] { shrinkRows(image, across, down, pixels, stride, from, to); });
                from = to;
                continue;
            } catch (const std::system_error &) {
            }
        }
        shrinkRows(image, across, down, pixels, stride, from, size.height());
        break;
    }
    for (std::thread &helper : helpers)
        helper.join();
    return target;
}

} // namespace korvel
