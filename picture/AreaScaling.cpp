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
using Channels = uint32_t __attribute__((vector_size(16), may_alias));
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

using Footprint = AreaShrink::Footprint;
using Axis = AreaShrink::Axis;

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

// The top bytes of the channels of `a` and `b`: their two pixels, in the
// first eight bytes.
inline __attribute__((always_inline)) Bytes topBytes(Channels a, Channels b)
{
    const Bytes first = Bytes(a >> 24);
    const Bytes second = Bytes(b >> 24);
#if defined(__clang__)
    return __builtin_shufflevector(first, second, 0, 4, 8, 12, 16, 20, 24, 28, 0, 4, 8, 12, 16, 20,
                                   24, 28);
#else
    return __builtin_shuffle(first, second,
                             Bytes{0, 4, 8, 12, 16, 20, 24, 28, 0, 4, 8, 12, 16, 20, 24, 28});
#endif
}

// The first eight bytes of `a`, then those of `b`.
inline __attribute__((always_inline)) Bytes joinHalves(Bytes a, Bytes b)
{
#if defined(__clang__)
    return __builtin_shufflevector(a, b, 0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23);
#else
    return __builtin_shuffle(a, b, Bytes{0, 1, 2, 3, 4, 5, 6, 7, 16, 17, 18, 19, 20, 21, 22, 23});
#endif
}

// Rows `from` to `to` of the target. Each source row is summed under every
// target column once: a row that the next target row starts on is added to
// both at once.
template <typename Pixels>
inline __attribute__((always_inline)) void
shrinkBand(const Axis &across, const Axis &down, AreaShrink::SourceRow sourceRow, void *context,
           uchar *target, qsizetype stride, int from, int to, AreaShrink::Sums &memory)
{
    const size_t width = across.footprints.size();
    memory.current.resize(width * 4);
    memory.next.resize(width * 4);
    auto *sums = reinterpret_cast<Channels *>(memory.current.data());
    auto *next = reinterpret_cast<Channels *>(memory.next.data());
    const uint32_t step = uint32_t(across.step);
    bool started = false; // the first row of the target row is in `sums` already
    for (int t = from; t < to; ++t) {
        const Footprint &f = down.footprints[size_t(t)];
        const Footprint *following = t + 1 < to ? &down.footprints[size_t(t + 1)] : nullptr;
        if (!started)
            std::fill(sums, sums + width, Channels{0, 0, 0, 0});
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
            const uint32_t *pixels = sourceRow(context, y);
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
        // The sums may pass 2^31; their top bytes are the channels.
        auto *out = target + t * stride;
        size_t x = 0;
        for (; x + 4 <= width; x += 4) {
            const Bytes two = topBytes(sums[x], sums[x + 1]);
            const Bytes four = topBytes(sums[x + 2], sums[x + 3]);
            const Bytes pixels = joinHalves(two, four);
            std::memcpy(out + x * 4, &pixels, 16);
        }
        for (; x < width; ++x) {
            const Bytes pixel = topBytes(sums[x], sums[x]);
            std::memcpy(out + x * 4, &pixel, 4);
        }
        started = shared;
        if (shared)
            std::swap(sums, next);
    }
}

#if defined(__x86_64__) || defined(__i386__)
// With SSE4.1 a pixel's bytes widen and its sums multiply in one step each.
__attribute__((target("sse4.1"))) void shrinkBandSse41(const Axis &across, const Axis &down,
                                                       AreaShrink::SourceRow sourceRow,
                                                       void *context, uchar *target,
                                                       qsizetype stride, int from, int to,
                                                       AreaShrink::Sums &memory)
{
    shrinkBand<WidenSse41>(across, down, sourceRow, context, target, stride, from, to, memory);
}
#endif

const uint32_t *imageRow(void *image, int row)
{
    return reinterpret_cast<const uint32_t *>(
        static_cast<const QImage *>(image)->constScanLine(row));
}

} // namespace

bool AreaShrink::shrinks(const QSize &source, const QSize &target)
{
    return !target.isEmpty() && target.width() < source.width() &&
           target.height() < source.height();
}

AreaShrink::AreaShrink(const QSize &source, const QSize &target)
    : m_target(target), m_across(axis(source.width(), target.width())),
      m_down(axis(source.height(), target.height()))
{}

int AreaShrink::firstSourceRow(int row) const
{
    return m_down.footprints[size_t(row)].first;
}

void AreaShrink::shrinkRows(int from, int to, SourceRow sourceRow, void *context, uchar *pixels,
                            qsizetype stride, Sums &sums) const
{
#if defined(__x86_64__) || defined(__i386__)
    if (__builtin_cpu_supports("sse4.1"))
        return shrinkBandSse41(m_across, m_down, sourceRow, context, pixels, stride, from, to,
                               sums);
#endif
    shrinkBand<Widen>(m_across, m_down, sourceRow, context, pixels, stride, from, to, sums);
}

std::optional<QImage> shrinkByArea(const QImage &image, const QSize &size, QImage into)
{
    if (image.format() != QImage::Format_RGB32 || !AreaShrink::shrinks(image.size(), size))
        return std::nullopt;
    QImage target = into.size() == size && into.format() == QImage::Format_RGB32
                        ? std::move(into)
                        : newLargeImage(size, QImage::Format_RGB32);
    if (target.isNull())
        return QImage();
    const AreaShrink shrink(image.size(), size);
    uchar *pixels = target.bits();
    const qsizetype stride = target.bytesPerLine();
    auto *source = const_cast<QImage *>(&image);
    const auto band = [&](int from, int to) {
        AreaShrink::Sums sums;
        shrink.shrinkRows(from, to, imageRow, source, pixels, stride, sums);
    };
    // Each thread its own band of rows, the last one on this thread.
    const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, MaxThreads);
    std::vector<std::thread> helpers;
    int from = 0;
    for (unsigned i = 0; i < threads; ++i) {
        const int to = int(int64_t(size.height()) * (i + 1) / threads);
        if (i + 1 < threads) {
            try {
                helpers.emplace_back(band, from, to);
                from = to;
                continue;
            } catch (const std::system_error &) {
            }
        }
        band(from, size.height());
        break;
    }
    for (std::thread &helper : helpers)
        helper.join();
    return target;
}

} // namespace korvel
