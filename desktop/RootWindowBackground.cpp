#include "RootWindowBackground.h"

#include "display/XcbHandles.h"

#include <QImage>
#include <QSize>
#include <QVector>

#include <xcb/shm.h>
#include <xcb/xcb.h>

#include <sys/ipc.h>
#include <sys/mman.h>
#include <sys/shm.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace korvel {

namespace {

QString describeError(const xcb_generic_error_t &error, const char *request)
{
    static const char *const names[] = {
        "",          "BadRequest", "BadValue",    "BadWindow",   "BadPixmap", "BadAtom",
        "BadCursor", "BadFont",    "BadMatch",    "BadDrawable", "BadAccess", "BadAlloc",
        "BadColor",  "BadGC",      "BadIDChoice", "BadName",     "BadLength", "BadImplementation",
    };
    const int code = error.error_code;
    const char *name = code < int(sizeof names / sizeof *names) ? names[code] : "";
    return QStringLiteral("the X server refused %1: error %2 %3")
        .arg(QLatin1String(request))
        .arg(code)
        .arg(QLatin1String(name))
        .trimmed();
}

// Checked requests are sent first and checked together, so that all of them
// cost one round trip.
class Requests
{
public:
    explicit Requests(xcb_connection_t *c) : m_c(c) {}
    void add(xcb_void_cookie_t cookie, const char *what) { m_sent.append({cookie, what}); }
    // Returns the first error; `ignored` is a request whose failure is harmless.
    QString check(xcb_void_cookie_t ignored = {0})
    {
        QString first;
        for (const Sent &s : std::as_const(m_sent)) {
            Reply<xcb_generic_error_t> error(xcb_request_check(m_c, s.cookie));
            if (error && s.cookie.sequence != ignored.sequence && first.isEmpty())
                first = describeError(*error, s.what);
        }
        m_sent.clear();
        return first;
    }

private:
    struct Sent
    {
        xcb_void_cookie_t cookie;
        const char *what;
    };
    xcb_connection_t *m_c;
    QVector<Sent> m_sent;
};

// Only the common layout is handled: depth 24 TrueColor in 32-bit pixels with
// the bytes of QImage::Format_RGB32 (the host's byte order).
QString unsupportedLayout(xcb_connection_t *c, const xcb_screen_t &screen)
{
    const xcb_setup_t *setup = xcb_get_setup(c);
    const QString what = QStringLiteral("this X screen's pixel layout is not supported (%1)");
    if (screen.root_depth != 24)
        return what.arg(QStringLiteral("depth %1, not 24").arg(screen.root_depth));
    const int hostOrder =
        Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? XCB_IMAGE_ORDER_LSB_FIRST : XCB_IMAGE_ORDER_MSB_FIRST;
    if (setup->image_byte_order != hostOrder)
        return what.arg(QStringLiteral("image byte order differs from this computer's"));

    bool format32 = false;
    const xcb_format_t *formats = xcb_setup_pixmap_formats(setup);
    for (int i = 0; i < xcb_setup_pixmap_formats_length(setup); ++i) {
        if (formats[i].depth == 24)
            format32 = formats[i].bits_per_pixel == 32 && formats[i].scanline_pad == 32;
    }
    if (!format32)
        return what.arg(QStringLiteral("depth 24 is not stored in 32-bit pixels"));

    for (auto d = xcb_screen_allowed_depths_iterator(&screen); d.rem > 0; xcb_depth_next(&d)) {
        for (auto v = xcb_depth_visuals_iterator(d.data); v.rem > 0; xcb_visualtype_next(&v)) {
            const xcb_visualtype_t &visual = *v.data;
            if (visual.visual_id != screen.root_visual)
                continue;
            if (visual._class == XCB_VISUAL_CLASS_TRUE_COLOR && visual.red_mask == 0xff0000 &&
                visual.green_mask == 0xff00 && visual.blue_mask == 0xff)
                return {};
            return what.arg(QStringLiteral("the root visual is not 8-bit RGB TrueColor"));
        }
    }
    return what.arg(QStringLiteral("the root visual is not listed"));
}

// The picture as X wants it: opaque pixels, anything translucent drawn over black.
QImage opaqueRgb32(const QImage &image)
{
    if (!image.hasAlphaChannel()) {
        QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        // A QImage over foreign memory may have padded rows; the upload needs packed ones.
        return rgb.bytesPerLine() == rgb.width() * 4 ? rgb : rgb.copy();
    }
    const QImage premultiplied = image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage rgb(image.size(), QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto *from = reinterpret_cast<const QRgb *>(premultiplied.constScanLine(y));
        auto *to = reinterpret_cast<QRgb *>(rgb.scanLine(y));
        for (int x = 0; x < rgb.width(); ++x)
            to[x] = from[x] | 0xff000000u;
    }
    return rgb;
}

// The atoms of `names`, asked for together: one round trip for all. XCB_ATOM_NONE
// for any the server did not give.
template <size_t N>
std::array<xcb_atom_t, N> atoms(xcb_connection_t *c, const char *const (&names)[N])
{
    std::array<xcb_intern_atom_cookie_t, N> cookies;
    for (size_t i = 0; i < N; ++i)
        cookies[i] = xcb_intern_atom(c, 0, uint16_t(qstrlen(names[i])), names[i]);
    std::array<xcb_atom_t, N> result;
    for (size_t i = 0; i < N; ++i) {
        Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
        result[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
    return result;
}

using Ids = QVector<uint32_t>;

// The 32-bit values of `property` on `window` when it has that type; none
// when the window or the property is missing.
Ids ids(xcb_connection_t *c, xcb_window_t window, xcb_atom_t property, xcb_atom_t type)
{
    const auto cookie = xcb_get_property(c, 0, window, property, type, 0, 2);
    Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(c, cookie, nullptr));
    if (!reply || reply->type != type || reply->format != 32)
        return {};
    const auto *values = static_cast<const uint32_t *>(xcb_get_property_value(reply.get()));
    return Ids(values, values + xcb_get_property_value_length(reply.get()) / 4);
}

// A connection to the X display and, on a local server that can share
// memory, a segment for the picture's pixels attached on both sides.
struct Upload
{
    QByteArray displayName;
    Connection conn;
    int screenNumber = 0;
    QSize size;             // of the picture the segment is for
    void *memory = nullptr; // our side of the segment, `bytes` long
    size_t bytes = 0;
    bool systemV = false; // a System V segment, not a mapped memory file
    xcb_shm_seg_t segment = XCB_NONE;

    Upload() = default;
    Upload(const Upload &) = delete;
    Upload &operator=(const Upload &) = delete;
    ~Upload() { release(); }
    // Lets go of our side of the segment.
    void release()
    {
        if (memory != nullptr)
            systemV ? ::shmdt(memory) : ::munmap(memory, bytes);
        memory = nullptr;
    }
};

// Made before the picture, for the next upload.
std::unique_ptr<Upload> preparedUpload;
// An upload whose segment holds the picture made there, kept attached while
// the caller may still have the picture.
std::unique_ptr<Upload> keptUpload;

// Connects to the display; an empty string, or what went wrong.
QString connectTo(Upload &upload, const QByteArray &displayName)
{
    upload.displayName = displayName;
    upload.conn.reset(xcb_connect(displayName.isEmpty() ? nullptr : displayName.constData(),
                                  &upload.screenNumber));
    const int failure = xcb_connection_has_error(upload.conn.get());
    if (failure == 0)
        return {};
    const QByteArray name = displayName.isEmpty() ? qgetenv("DISPLAY") : displayName;
    const QString reason =
        failure == XCB_CONN_CLOSED_PARSE_ERR        ? QStringLiteral(": not a display name")
        : failure == XCB_CONN_CLOSED_INVALID_SCREEN ? QStringLiteral(": it has no such screen")
                                                    : QString();
    return QStringLiteral("cannot connect to the X display %1%2")
        .arg(name.isEmpty() ? QStringLiteral("(DISPLAY is not set)") : QString::fromLocal8Bit(name),
             reason);
}

// On a local X server the pixmap can live in a shared memory segment that we
// fill: the pixels are neither sent through the socket nor copied by the
// server. Attaches a segment for a picture of `size` on both sides. Nothing
// is left when the server cannot (no MIT-SHM or no shared pixmaps, another
// machine).
void attachSharedMemory(Upload &upload, const QSize &size)
{
    xcb_connection_t *c = upload.conn.get();
    const xcb_query_extension_reply_t *shm = xcb_get_extension_data(c, &xcb_shm_id);
    if (shm == nullptr || !shm->present)
        return;
    const Reply<xcb_shm_query_version_reply_t> version(
        xcb_shm_query_version_reply(c, xcb_shm_query_version(c), nullptr));
    if (!version || !version->shared_pixmaps || version->pixmap_format != XCB_IMAGE_FORMAT_Z_PIXMAP)
        return;
    const size_t bytes = size_t(size.width()) * size_t(size.height()) * 4;
    // A memory file when the server takes one (MIT-SHM 1.2): mapped as a file
    // there, its pages come in sixteen at a time when the server first reads
    // them, not one by one as those of a System V segment do. (shmat() fails
    // with the same value as mmap().)
    void *memory = MAP_FAILED;
    int id = -1;
    const xcb_shm_seg_t segment = xcb_generate_id(c);
    Requests requests(c);
    if (version->major_version > 1 || version->minor_version >= 2) {
        const int fd = ::memfd_create("korvel-desktopinfo", MFD_CLOEXEC);
        if (fd >= 0 && ::ftruncate(fd, off_t(bytes)) == 0)
            memory = ::mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (memory != MAP_FAILED) // xcb sends the descriptor and closes it
            requests.add(xcb_shm_attach_fd_checked(c, segment, fd, 0), "");
        else if (fd >= 0)
            ::close(fd);
    } else if ((id = ::shmget(IPC_PRIVATE, bytes, IPC_CREAT | 0600)) >= 0) {
        memory = ::shmat(id, nullptr, 0);
        if (memory != MAP_FAILED)
            requests.add(xcb_shm_attach_checked(c, segment, uint32_t(id), 0), "");
    }
    if (memory == MAP_FAILED) {
        if (id >= 0)
            ::shmctl(id, IPC_RMID, nullptr);
        return;
    }
    upload.memory = memory;
    upload.bytes = bytes;
    upload.systemV = id >= 0;
    const bool attached = requests.check().isEmpty();
    // Once both sides are attached the segment goes when both have let go.
    if (id >= 0)
        ::shmctl(id, IPC_RMID, nullptr);
    if (!attached) {
        upload.release();
        return;
    }
    upload.segment = segment;
    upload.size = size;
}

// The pixmap in the shared segment, filled with `rgb`; the requests that make
// it are added to `made`. XCB_NONE when there is no segment for it.
xcb_pixmap_t sharedMemoryPixmap(Upload &upload, Requests &made, xcb_drawable_t root, uint8_t depth,
                                const QImage &rgb)
{
    if (upload.memory == nullptr || upload.size != rgb.size())
        return XCB_NONE;
    xcb_connection_t *c = upload.conn.get();
    // A picture made in the segment is there already.
    if (rgb.constBits() != upload.memory)
        std::memcpy(upload.memory, rgb.constBits(), size_t(rgb.sizeInBytes()));
    const xcb_pixmap_t pixmap = xcb_generate_id(c);
    made.add(xcb_shm_create_pixmap_checked(c, pixmap, root, uint16_t(rgb.width()),
                                           uint16_t(rgb.height()), depth, upload.segment, 0),
             "to create the pixmap");
    // The pixmap keeps the server's hold on the segment.
    made.add(xcb_shm_detach_checked(c, upload.segment), "to let go of the shared memory");
    return pixmap;
}

} // namespace

QString setRootBackground(const QImage &image, const QByteArray &displayName)
{
    if (image.isNull())
        return QStringLiteral("the picture for the desktop is empty");
    // Request coordinates are 16-bit signed.
    if (image.width() > 32767 || image.height() > 32767)
        return QStringLiteral("the picture for the desktop is too large (%1x%2)")
            .arg(image.width())
            .arg(image.height());

    // The connection and memory made ahead for a picture of this size, or new
    // ones. A segment that holds the picture stays attached until
    // prepareRootBackground() is called next.
    std::unique_ptr<Upload> upload = std::move(preparedUpload);
    struct Keep
    {
        std::unique_ptr<Upload> &upload;
        const QImage &image;
        ~Keep()
        {
            if (upload && upload->memory != nullptr && upload->memory == image.constBits())
                keptUpload = std::move(upload);
        }
    } keep{upload, image};
    if (!upload || upload->displayName != displayName || upload->size != image.size()) {
        // Connected before the other goes: the server may have no other client.
        auto fresh = std::make_unique<Upload>();
        const QString failure = connectTo(*fresh, displayName);
        upload = std::move(fresh);
        if (!failure.isEmpty())
            return failure;
    }
    xcb_connection_t *c = upload->conn.get();
    const int screenNumber = upload->screenNumber;
    const xcb_screen_t *screen = screenOf(c, screenNumber);
    if (!screen)
        return QStringLiteral("the X display has no screen %1").arg(screenNumber);
    const QString unsupported = unsupportedLayout(c, *screen);
    if (!unsupported.isEmpty())
        return unsupported;
    const xcb_window_t root = screen->root;
    const xcb_setup_t *setup = xcb_get_setup(c);

    const QImage rgb = opaqueRgb32(image);
    const int width = rgb.width();
    const int height = rgb.height();
    const uint32_t rowBytes = uint32_t(width) * 4;
    // The request length counts 4-byte units; leave room for PutImage's header,
    // which is longer by one unit with BIG-REQUESTS.
    const uint64_t maxBytes = uint64_t(xcb_get_maximum_request_length(c)) * 4;
    if (maxBytes < rowBytes + 32)
        return QStringLiteral("the X server accepts too short requests for a picture %1 wide")
            .arg(width);
    const int rowsPerStrip = int(std::min<uint64_t>((maxBytes - 32) / rowBytes, uint64_t(height)));

    if (upload->memory == nullptr)
        attachSharedMemory(*upload, rgb.size());
    Requests requests(c);
    xcb_pixmap_t pixmap = sharedMemoryPixmap(*upload, requests, root, screen->root_depth, rgb);
    if (pixmap == XCB_NONE) {
        pixmap = xcb_generate_id(c);
        requests.add(xcb_create_pixmap_checked(c, screen->root_depth, pixmap, root, uint16_t(width),
                                               uint16_t(height)),
                     "to create the pixmap");
        const xcb_gcontext_t gc = xcb_generate_id(c);
        requests.add(xcb_create_gc_checked(c, gc, pixmap, 0, nullptr), "to create a GC");
        for (int y = 0; y < height; y += rowsPerStrip) {
            const int rows = std::min(rowsPerStrip, height - y);
            requests.add(xcb_put_image_checked(c, XCB_IMAGE_FORMAT_Z_PIXMAP, pixmap, gc,
                                               uint16_t(width), uint16_t(rows), 0, int16_t(y), 0,
                                               screen->root_depth, rowBytes * uint32_t(rows),
                                               rgb.constScanLine(y)),
                         "the picture's pixels");
        }
        requests.add(xcb_free_gc_checked(c, gc), "to free the GC");
    }
    QString error = requests.check();
    if (xcb_connection_has_error(c))
        return QStringLiteral("the connection to the X display broke while sending the picture");
    if (!error.isEmpty())
        return error; // The connection's end frees whatever was made.

    // From here on the pixmap belongs to the root window and must outlive us.
    xcb_set_close_down_mode(c, XCB_CLOSE_DOWN_RETAIN_PERMANENT);

    const auto [esetroot, xrootpmap, record] =
        atoms(c, {"ESETROOT_PMAP_ID", "_XROOTPMAP_ID", "_KORVEL_DESKTOPINFO_PMAP"});
    if (esetroot == XCB_ATOM_NONE || xrootpmap == XCB_ATOM_NONE || record == XCB_ATOM_NONE) {
        xcb_set_close_down_mode(c, XCB_CLOSE_DOWN_DESTROY_ALL);
        return QStringLiteral("cannot look up the root window's pixmap properties");
    }
    // The retained client also keeps a hidden window that names the pixmap:
    // while that window lives, the pixmap is certainly the one we left.
    const xcb_window_t marker = xcb_generate_id(c);
    const uint32_t overrideRedirect = 1;
    requests.add(xcb_create_window_checked(c, 0, marker, root, -1, -1, 1, 1, 0,
                                           XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT,
                                           XCB_CW_OVERRIDE_REDIRECT, &overrideRedirect),
                 "to create the picture's marker window");
    requests.add(xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, marker, record,
                                             XCB_ATOM_PIXMAP, 32, 1, &pixmap),
                 "to mark the desktop picture");

    // Another setter must not change the properties between reading and writing.
    xcb_grab_server(c);
    const Ids earlier = ids(c, root, record, XCB_ATOM_CARDINAL);
    xcb_void_cookie_t kill = {0};
    // Only a picture left by an earlier drawing of ours is freed, whoever
    // published something since; freeing it frees that retained client. Not
    // a desktop's or another program's pixmap, even in both properties.
    // (A record in our own client's range is stale: that client is gone.)
    const auto client = [setup](uint32_t id) { return id & ~setup->resource_id_mask; };
    if (earlier.size() == 2 && client(earlier[0]) == client(earlier[1]) &&
        client(earlier[0]) != setup->resource_id_base) {
        const Ids marked = ids(c, earlier[1], record, XCB_ATOM_PIXMAP);
        if (marked.size() == 1 && marked[0] == earlier[0]) {
            kill = xcb_kill_client_checked(c, earlier[0]);
            requests.add(kill, "to free the earlier desktop picture");
        }
    }
    requests.add(xcb_change_window_attributes_checked(c, root, XCB_CW_BACK_PIXMAP, &pixmap),
                 "the root window's background");
    for (xcb_atom_t property : {xrootpmap, esetroot})
        requests.add(xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, root, property,
                                                 XCB_ATOM_PIXMAP, 32, 1, &pixmap),
                     "to publish the desktop picture");
    const uint32_t recorded[2] = {pixmap, marker};
    requests.add(xcb_change_property_checked(c, XCB_PROP_MODE_REPLACE, root, record,
                                             XCB_ATOM_CARDINAL, 32, 2, recorded),
                 "to record the desktop picture");
    requests.add(xcb_clear_area_checked(c, 0, root, 0, 0, 0, 0), "to repaint the root window");
    xcb_ungrab_server(c);
    // Freeing the earlier picture is best effort.
    error = requests.check(kill);
    xcb_flush(c);
    if (xcb_connection_has_error(c))
        return QStringLiteral("the connection to the X display broke while setting the picture");
    return error;
}

void prepareRootBackground(const QSize &size, const QByteArray &displayName)
{
    preparedUpload.reset();
    keptUpload.reset();
    if (size.isEmpty() || size.width() > 32767 || size.height() > 32767)
        return;
    auto upload = std::make_unique<Upload>();
    if (!connectTo(*upload, displayName).isEmpty())
        return;
    const xcb_screen_t *screen = screenOf(upload->conn.get(), upload->screenNumber);
    if (screen == nullptr || !unsupportedLayout(upload->conn.get(), *screen).isEmpty())
        return;
    attachSharedMemory(*upload, size);
    preparedUpload = std::move(upload);
}

PictureCanvas preparedRootCanvas()
{
    if (!preparedUpload || preparedUpload->memory == nullptr)
        return {};
    return {static_cast<uchar *>(preparedUpload->memory), preparedUpload->size.width() * 4,
            preparedUpload->size};
}

} // namespace korvel
