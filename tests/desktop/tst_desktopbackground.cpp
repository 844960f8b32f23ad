#include "desktop/DesktopBackgroundSettings.h"
#include "desktop/RootWindowBackground.h"
#include "helpers/TestEnvironment.h"

#include <QtTest>

#include <xcb/xcb.h>

#include <csignal>
#include <cstdlib>

namespace {

// Private folders for everything GLib and dconf read or write; set in main before any GLib call.
const char *const PrivateDirs[] = {"HOME", "XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_RUNTIME_DIR"};

QImage pattern(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < width; ++x)
            line[x] = qRgb(x % 251, y % 241, (x / 251 + y / 241 * 16) % 256);
    }
    return image;
}

QString gsettings(const QString &schema, const QString &key)
{
    QProcess p;
    p.start(QStringLiteral("gsettings"), {QStringLiteral("get"), schema, key});
    return p.waitForFinished() ? QString::fromUtf8(p.readAllStandardOutput()).trimmed() : QString();
}

} // namespace

class TestDesktopBackground : public QObject
{
    Q_OBJECT

    xcb_connection_t *m_x = nullptr;
    xcb_screen_t *m_screen = nullptr;
    QProcess m_bus;

    // Replies of xcb, freed with free().
    template <typename T> static std::unique_ptr<T, void (*)(void *)> own(T *reply)
    {
        return {reply, &std::free};
    }
    xcb_atom_t atom(const char *name)
    {
        const auto reply =
            own(xcb_intern_atom_reply(m_x, xcb_intern_atom(m_x, 0, strlen(name), name), nullptr));
        return reply ? reply->atom : 0;
    }
    xcb_pixmap_t property(const char *name)
    {
        const auto reply = own(xcb_get_property_reply(
            m_x, xcb_get_property(m_x, 0, m_screen->root, atom(name), XCB_ATOM_PIXMAP, 0, 1),
            nullptr));
        return reply && xcb_get_property_value_length(reply.get()) == 4
                   ? *static_cast<xcb_pixmap_t *>(xcb_get_property_value(reply.get()))
                   : 0;
    }
    bool exists(xcb_pixmap_t pixmap)
    {
        xcb_generic_error_t *error = nullptr;
        own(xcb_get_geometry_reply(m_x, xcb_get_geometry(m_x, pixmap), &error));
        return !own(error);
    }
    QImage grab(xcb_drawable_t drawable, int width, int height)
    {
        const auto reply = own(xcb_get_image_reply(
            m_x, xcb_get_image(m_x, XCB_IMAGE_FORMAT_Z_PIXMAP, drawable, 0, 0, width, height, ~0u),
            nullptr));
        // Depth 24 in 32-bit pixels of the host's byte order, rows without padding.
        return reply && xcb_get_image_data_length(reply.get()) == width * height * 4
                   ? QImage(xcb_get_image_data(reply.get()), width, height, QImage::Format_RGB32)
                         .copy()
                   : QImage();
    }

private slots:
    void initTestCase()
    {
        m_x = xcb_connect(nullptr, nullptr);
        QVERIFY2(!xcb_connection_has_error(m_x), "runs on an X server of its own (xvfb-run)");
        m_screen = xcb_setup_roots_iterator(xcb_get_setup(m_x)).data;
        // A bus of our own, so that dconf's service it starts writes into the private folders.
        m_bus.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_bus.start(QStringLiteral("dbus-daemon"),
                    {QStringLiteral("--session"), QStringLiteral("--nofork"),
                     QStringLiteral("--print-address=1"),
                     "--address=unix:path=" + qEnvironmentVariable("XDG_RUNTIME_DIR") + "/bus"});
        QVERIFY(m_bus.waitForReadyRead(10000));
        qputenv("DBUS_SESSION_BUS_ADDRESS", m_bus.readLine().trimmed());
    }
    void cleanupTestCase()
    {
        // dconf's thread raises SIGTERM when its bus closes, as at the end of a session.
        std::signal(SIGTERM, SIG_IGN);
        m_bus.terminate();
        m_bus.waitForFinished();
        xcb_disconnect(m_x);
    }

    void rootShowsPicture_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QImage>("expected");
        QImage halves(640, 480, QImage::Format_RGB32);
        for (int y = 0; y < 480; ++y)
            for (int x = 0; x < 640; ++x)
                halves.setPixel(x, y, x < 320 ? qRgb(200, 30, 40) : qRgb(10, 20, 250));
        halves.setPixel(0, 0, qRgb(255, 255, 255));
        halves.setPixel(639, 479, qRgb(0, 255, 0));
        halves.setPixel(320, 1, qRgb(1, 2, 3));
        QTest::newRow("two halves") << halves << halves;
        QTest::newRow("24-bit rows") << halves.convertToFormat(QImage::Format_RGB888) << halves;
        // Translucent pixels appear as drawn over black.
        QImage alpha(640, 480, QImage::Format_ARGB32);
        alpha.fill(qRgba(255, 0, 0, 0));
        alpha.setPixel(5, 5, qRgba(255, 255, 255, 51));
        QImage overBlack(640, 480, QImage::Format_RGB32);
        overBlack.fill(qRgb(0, 0, 0));
        overBlack.setPixel(5, 5, qRgb(51, 51, 51));
        QTest::newRow("alpha") << alpha << overBlack;
    }
    // Each picture replaces the one before, whose pixmap is freed.
    void rootShowsPicture()
    {
        QFETCH(QImage, image);
        QFETCH(QImage, expected);
        const xcb_pixmap_t old = property("_XROOTPMAP_ID");
        QCOMPARE(korvel::setRootBackground(image), QString());
        const xcb_pixmap_t pixmap = property("_XROOTPMAP_ID");
        QVERIFY(pixmap != 0 && pixmap != old);
        QCOMPARE(property("ESETROOT_PMAP_ID"), pixmap);
        QVERIFY(exists(pixmap));
        QVERIFY(old == 0 || !exists(old));
        QCOMPARE(grab(m_screen->root, 640, 480), expected);
    }

    // Properties naming different pixmaps are someone else's: neither is freed.
    void leavesOthersAlone()
    {
        const xcb_pixmap_t ours = property("ESETROOT_PMAP_ID"), theirs = xcb_generate_id(m_x);
        xcb_create_pixmap(m_x, 24, theirs, m_screen->root, 8, 8);
        xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, m_screen->root, atom("_XROOTPMAP_ID"),
                            XCB_ATOM_PIXMAP, 32, 1, &theirs);
        std::free(
            xcb_get_input_focus_reply(m_x, xcb_get_input_focus(m_x), nullptr)); // sent and done
        QCOMPARE(korvel::setRootBackground(pattern(640, 480)), QString());
        QVERIFY(exists(theirs) && exists(ours));
        QVERIFY(!xcb_connection_has_error(m_x));
    }

    void largeAndSmall_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("1x1") << QSize(1, 1);
        QTest::newRow("odd") << QSize(641, 3);
        QTest::newRow("3840x2160, more than one request") << QSize(3840, 2160);
    }
    void largeAndSmall()
    {
        QFETCH(QSize, size);
        const QImage image = pattern(size.width(), size.height());
        QCOMPARE(korvel::setRootBackground(image), QString());
        QCOMPARE(grab(property("_XROOTPMAP_ID"), size.width(), size.height()), image);
    }

    void failures_data()
    {
        QTest::addColumn<QByteArray>("display");
        QTest::addColumn<QString>("error");
        QTest::newRow("no server")
            << QByteArray(":65000") << "cannot connect to the X display :65000";
        QTest::newRow("empty picture") << QByteArray() << "the picture for the desktop is empty";
        QTest::newRow("no screen")
            << qgetenv("DISPLAY") + ".7"
            << "cannot connect to the X display " + qEnvironmentVariable("DISPLAY") +
                   ".7: it has no such screen";
    }
    void failures()
    {
        QFETCH(QByteArray, display);
        QFETCH(QString, error);
        QCOMPARE(korvel::setRootBackground(display.isEmpty() ? QImage() : pattern(4, 4), display),
                 error);
    }

    void settingsNameThePicture_data() { TestEnvironment::addRows("desktop/gsettings.txt", 3); }
    void settingsNameThePicture()
    {
        QFETCH(QStringList, row);
        const QString path = qEnvironmentVariable("HOME") + QStringLiteral("/Bild mit Lücke.png");
        QCOMPARE(korvel::setDesktopBackgroundSettings(path), QStringList());
        const QString uri = "file://" + QString::fromLatin1(QUrl::toPercentEncoding(path, "/"));
        QCOMPARE(gsettings(row[0], row[1]), row[2].replace("{uri}", uri).replace("{path}", path));
    }

    // Without a session bus nothing is tried; the bus at $XDG_RUNTIME_DIR/bus counts as one.
    void needsSessionBus()
    {
        for (const bool runtimeBus : {false, true}) {
            const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS"),
                             runtime = qgetenv("XDG_RUNTIME_DIR");
            qunsetenv("DBUS_SESSION_BUS_ADDRESS");
            if (!runtimeBus)
                qputenv("XDG_RUNTIME_DIR", qgetenv("HOME"));
            const QString before = gsettings("org.gnome.desktop.background", "picture-uri");
            const QString path = runtimeBus ? "/srv/b.png" : "/srv/a.png";
            QElapsedTimer timer;
            timer.start();
            const QStringList errors = korvel::setDesktopBackgroundSettings(path);
            QVERIFY(timer.elapsed() < 5000);
            qputenv("DBUS_SESSION_BUS_ADDRESS", address);
            qputenv("XDG_RUNTIME_DIR", runtime);
            QCOMPARE(errors, QStringList());
            QCOMPARE(gsettings("org.gnome.desktop.background", "picture-uri"),
                     runtimeBus ? "'file://" + path + "'" : before);
        }
    }
};

int main(int argc, char **argv)
{
    QTemporaryDir dir;
    for (const char *name : PrivateDirs) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        if (!QDir().mkpath(path) ||
            !QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return 1;
        qputenv(name, QFile::encodeName(path));
    }
    QCoreApplication app(argc, argv);
    TestDesktopBackground test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_desktopbackground.moc"
