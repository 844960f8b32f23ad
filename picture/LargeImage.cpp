#include "LargeImage.h"

#include <sys/mman.h>

#include <cstdint>
#include <limits>

namespace korvel {

namespace {

// Below this, the allocator's memory is as quick.
constexpr size_t LargeBytes = size_t(4) << 20;
// The huge page size of x86-64 and of most others; the mapping is aligned to it.
constexpr size_t HugePage = size_t(2) << 20;

struct Mapping
{
    void *address;
    size_t length;
};

void unmap(void *info)
{
    const auto *mapping = static_cast<Mapping *>(info);
    ::munmap(mapping->address, mapping->length);
    delete mapping;
}

} // namespace

QImage newLargeImage(const QSize &size, QImage::Format format)
{
    if (size.isEmpty() || QImage::toPixelFormat(format).bitsPerPixel() != 32)
        return QImage(size, format);
    const size_t rowBytes = size_t(size.width()) * 4;
    if (rowBytes > size_t(std::numeric_limits<int>::max()) ||
        size_t(size.height()) > std::numeric_limits<size_t>::max() / rowBytes / 2)
        return QImage();
    const size_t bytes = rowBytes * size_t(size.height());
    if (bytes < LargeBytes)
        return QImage(size, format);
    // Mapped with room to start at a huge page's boundary; the rest is let go.
    const size_t length = (bytes + HugePage - 1) / HugePage * HugePage;
    void *mapped = ::mmap(nullptr, length + HugePage, PROT_READ | PROT_WRITE,
                          MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (mapped == MAP_FAILED)
        return QImage();
    const uintptr_t start = (uintptr_t(mapped) + HugePage - 1) / HugePage * HugePage;
    if (start > uintptr_t(mapped))
        ::munmap(mapped, start - uintptr_t(mapped));
    const uintptr_t end = uintptr_t(mapped) + length + HugePage;
    if (end > start + length)
        ::munmap(reinterpret_cast<void *>(start + length), end - (start + length));
    void *address = reinterpret_cast<void *>(start);
    // Best effort: without it, ordinary pages.
    ::madvise(address, length, MADV_HUGEPAGE);
    auto *mapping = new Mapping{address, length};
    QImage image(static_cast<uchar *>(address), size.width(), size.height(), qsizetype(rowBytes),
                 format, unmap, mapping);
    if (image.isNull())
        unmap(mapping);
    return image;
}

} // namespace korvel
