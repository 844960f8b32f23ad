#pragma once

#include <QImage>
#include <QSize>

#include <cstdint>
#include <optional>
#include <vector>

namespace korvel {

// Shrinking an opaque (RGB32) picture smaller in both directions by area
// sampling: each pixel is the mean of the source area that it covers, the
// pixels cut by the area's edges weighted by how much of them it covers. The
// fixed-point arithmetic (14-bit weights) is that of the toolkit's smooth
// scaling, so both give the same pixels. The source rows may come one by one
// as they are decoded: the whole source need never be in memory.
class AreaShrink
{
public:
    // Whether `source` is larger than `target` in both directions.
    static bool shrinks(const QSize &source, const QSize &target);
    AreaShrink(const QSize &source, const QSize &target);

    QSize target() const { return m_target; }
    // The first source row that target row `row` reads.
    int firstSourceRow(int row) const;

    // Gives source row `row`'s pixels when asked: rows are asked for in
    // increasing order, each at most once, some perhaps never.
    using SourceRow = const uint32_t *(*)(void *context, int row);
    // Memory for one band's sums, kept by the caller.
    struct Sums
    {
        std::vector<uint32_t> current, next;
    };
    // Target rows `from` to `to` into `pixels` (RGB32 rows `stride` bytes
    // apart). Holds nothing that needs destroying, so a decoder's error may
    // jump out of `sourceRow`.
    void shrinkRows(int from, int to, SourceRow sourceRow, void *context, uchar *pixels,
                    qsizetype stride, Sums &sums) const;

    // Along one axis, the source pixels under each target pixel: the first
    // one, cut, with its weight; `whole` more at `step` each; then the last
    // one with what is left (possibly nothing).
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

private:
    QSize m_target;
    Axis m_across, m_down;
};

// The whole of `image` shrunk to `size` on all cores, into `into` when it is
// an RGB32 image of that size that nothing else holds, otherwise into a large
// image of its own (see LargeImage); nullopt when AreaShrink does not take the
// case, which the toolkit's scaling takes.
std::optional<QImage> shrinkByArea(const QImage &image, const QSize &size, QImage into = QImage());

} // namespace korvel
