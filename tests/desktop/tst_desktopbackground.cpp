#include "desktop/LxqtDesktop.h"
#include "desktop/PlasmaDesktop.h"
#include "desktop/RootWindowBackground.h"
#include "desktop/XfceDesktop.h"
#include "helpers/TestEnvironment.h"
#include "picture/CompactPng.h"

#include <QtTest>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

Q_DECLARE_METATYPE(QVector<korvel::DesktopPicture::Part>)

namespace {

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

} // namespace

class TestDesktopBackground : public QObject
{
    Q_OBJECT

    xcb_connection_t *m_x = nullptr;
    xcb_screen_t *m_screen = nullptr;

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
    }

    void publishesThePicture_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QImage>("expected");
        const QImage rgb = pattern(640, 480);
        QTest::newRow("RGB32") << rgb << rgb;
        QTest::newRow("24-bit rows") << rgb.convertToFormat(QImage::Format_RGB888) << rgb;
        // Translucent pixels appear as drawn over black.
        QImage alpha(1, 1, QImage::Format_ARGB32), overBlack(1, 1, QImage::Format_RGB32);
        alpha.fill(qRgba(255, 255, 255, 51));
        overBlack.fill(qRgb(51, 51, 51));
        QTest::newRow("alpha") << alpha << overBlack;
        for (const QSize size : {QSize(1, 1), QSize(641, 3), QSize(3840, 2160)})
            QTest::newRow(qPrintable(QStringLiteral("%1x%2").arg(size.width()).arg(size.height())))
                << pattern(size.width(), size.height()) << pattern(size.width(), size.height());
    }
    // Each picture replaces the one before, whose pixmap is freed; the root shows it. The
    // compact PNG of the picture holds the same pixels.
    void publishesThePicture()
    {
        QFETCH(QImage, image);
        QFETCH(QImage, expected);
        const xcb_pixmap_t old = property("_XROOTPMAP_ID");
        QCOMPARE(korvel::setRootBackground(image), QString());
        const xcb_pixmap_t pixmap = property("_XROOTPMAP_ID");
        QVERIFY(pixmap != 0 && pixmap != old && exists(pixmap) && (old == 0 || !exists(old)));
        QCOMPARE(property("ESETROOT_PMAP_ID"), pixmap);
        QCOMPARE(grab(pixmap, image.width(), image.height()), expected);
        if (image.size() == QSize(640, 480))
            QCOMPARE(grab(m_screen->root, 640, 480), expected);
        QCOMPARE(
            QImage::fromData(korvel::encodeCompactPng(image)).convertToFormat(QImage::Format_RGB32),
            expected);
    }

    // Only the pixmap recorded by our last drawing is freed: never one that a desktop or
    // another program published, in one property or both, nor a pixmap that a new client
    // made at the id of a recorded one whose client is gone.
    void freesOnlyOurs_data()
    {
        QTest::addColumn<QStringList>("published");
        QTest::addColumn<bool>("stale");
        QTest::newRow("one property") << QStringList{"_XROOTPMAP_ID"} << false;
        QTest::newRow("both: a desktop's own")
            << QStringList{"_XROOTPMAP_ID", "ESETROOT_PMAP_ID"} << false;
        QTest::newRow("our record stale") << QStringList() << true;
    }
    void freesOnlyOurs()
    {
        QFETCH(QStringList, published);
        QFETCH(bool, stale);
        const xcb_pixmap_t ours = property("_XROOTPMAP_ID");
        std::vector<xcb_connection_t *> others;
        xcb_connection_t *other = m_x;
        xcb_pixmap_t theirs = xcb_generate_id(m_x);
        if (stale) {
            // A new client gets the slot of the freed one, and makes our pixmap's id again.
            xcb_kill_client(m_x, ours);
            std::free(xcb_get_input_focus_reply(m_x, xcb_get_input_focus(m_x), nullptr));
            const uint32_t base = ours & ~xcb_get_setup(m_x)->resource_id_mask;
            while (others.size() < 64 && xcb_get_setup(other)->resource_id_base != base)
                others.push_back(other = xcb_connect(nullptr, nullptr));
            for (int i = 0; i < 8 && theirs != ours; ++i)
                theirs = xcb_generate_id(other);
            QCOMPARE(theirs, ours);
        }
        xcb_create_pixmap(other, 24, theirs, m_screen->root, 8, 8);
        for (const QString &name : published)
            xcb_change_property(m_x, XCB_PROP_MODE_REPLACE, m_screen->root, atom(qPrintable(name)),
                                XCB_ATOM_PIXMAP, 32, 1, &theirs);
        std::free(xcb_get_input_focus_reply(other, xcb_get_input_focus(other), nullptr));
        std::free(xcb_get_input_focus_reply(m_x, xcb_get_input_focus(m_x), nullptr));
        QCOMPARE(korvel::setRootBackground(pattern(640, 480)), QString());
        QVERIFY(exists(theirs) && (stale || !exists(ours)) && exists(property("ESETROOT_PMAP_ID")));
        for (xcb_connection_t *c : others)
            xcb_disconnect(c);
    }

    // The pure functions of the desktops' interfaces: rows of tests/data/desktop/functions.txt,
    // each named by its function.
    static QVector<TestEnvironment::Row> rowsOf(const char *function)
    {
        QVector<TestEnvironment::Row> rows;
        for (const TestEnvironment::Row &row :
             TestEnvironment::readRows("desktop/functions.txt", 3))
            if (row.fields[0] == function)
                rows << row;
        return rows;
    }

    void findsXfceBackdrops_data()
    {
        for (const char *column : {"properties", "monitors", "backdrops"})
            QTest::addColumn<QStringList>(column);
        QTest::addColumn<int>("workspaces");
        const auto words = [](const QString &text) { return text.split(' ', Qt::SkipEmptyParts); };
        for (const TestEnvironment::Row &row : rowsOf("xfceBackdrops")) {
            const QStringList in = row.fields[1].split(';');
            QTest::newRow(row.tag.constData())
                << words(in[0]) << words(in[1]) << words(row.fields[2]) << in[2].toInt();
        }
    }
    void findsXfceBackdrops()
    {
        QFETCH(QStringList, properties);
        QFETCH(QStringList, monitors);
        QFETCH(int, workspaces);
        QTEST(korvel::XfceDesktop::backdrops(properties, monitors, workspaces), "backdrops");
    }

    // The input: the picture's file, then each monitor's part as X,Y,WIDTH,HEIGHT=FILE.
    void writesPlasmasScript_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QVector<korvel::DesktopPicture::Part>>("parts");
        QTest::addColumn<QString>("script");
        for (const TestEnvironment::Row &row : rowsOf("plasmaScript")) {
            const QStringList in = row.fields[1].split(';');
            QVector<korvel::DesktopPicture::Part> parts;
            for (const QString &part : in.mid(1)) {
                const QStringList r = part.section('=', 0, 0).split(',');
                parts.append({{r[0].toInt(), r[1].toInt(), r[2].toInt(), r[3].toInt()},
                              part.section('=', 1)});
            }
            QTest::newRow(row.tag.constData()) << in[0] << parts << row.fields[2];
        }
    }
    void writesPlasmasScript()
    {
        QFETCH(QString, file);
        QFETCH(QVector<korvel::DesktopPicture::Part>, parts);
        QTEST(korvel::PlasmaDesktop::script(file, parts), "script");
    }

    // The input: pcmanfm-qt's command line, blank-separated.
    void findsLxqtsProfile_data()
    {
        QTest::addColumn<QByteArray>("commandLine");
        QTest::addColumn<QString>("profile");
        for (const TestEnvironment::Row &row : rowsOf("lxqtProfile"))
            QTest::newRow(row.tag.constData())
                << row.fields[1].toUtf8().replace(' ', '\0') << row.fields[2];
    }
    void findsLxqtsProfile()
    {
        QFETCH(QByteArray, commandLine);
        QTEST(korvel::LxqtDesktop::profile(commandLine), "profile");
    }
};

QTEST_GUILESS_MAIN(TestDesktopBackground)
#include "tst_desktopbackground.moc"
