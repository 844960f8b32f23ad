#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "preview/InfoText.h"
#include "preview/PreviewImage.h"
#include "preview/TemporaryImage.h"

#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QtTest>

#include <sys/stat.h>

using namespace korvel;
Q_DECLARE_METATYPE(korvel::TextPosition)
Q_DECLARE_METATYPE(korvel::PreviewFailure)

namespace {

const QString Font = Paths::installed().font;
const QColor Paper(255, 255, 255);

// A white source image of the given size, written as a real file.
QString writeSource(const TestEnvironment &env, const QString &name, const QSize &size,
                    const QColor &fill = Paper)
{
    QImage image(size, fill.alpha() < 255 ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    image.fill(fill);
    const QString path = env.path(name);
    if (!image.save(path))
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

PreviewJob job(const QString &image, const QString &text, const QSize &desktop = {1920, 1080})
{
    PreviewJob s;
    s.imagePath = image;
    s.fontPath = Font;
    s.fontPixelSize = 40;
    s.desktop = desktop;
    s.text = text;
    return s;
}

// The rows and columns with ink, i.e. pixels that differ from `background`.
QRect inkBox(const QImage &image, const QColor &background = Paper, int fromY = 0, int toY = -1)
{
    QRect box;
    const QRgb paper = background.rgba();
    for (int y = fromY; y < (toY < 0 ? image.height() : toY); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            if (image.pixel(x, y) != paper)
                box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

} // namespace

class TestPreviewImage : public QObject
{
    Q_OBJECT

private slots:
    void drawsInTheChosenColour()
    {
        TestEnvironment env;
        PreviewJob s = job(writeSource(env, "white.png", {400, 300}), "IIII", {400, 300});
        s.fontPixelSize = 120;
        s.colorIndex = 2;
        const QImage image = composePreviewImage(s).image;
        QVERIFY(!image.isNull());
        int green = 0;
        for (int x = 100; x < 400; ++x)
            green += image.pixel(x, 120) == qRgb(0, 128, 0) ? 1 : 0;
        QVERIFY2(green > 20, qPrintable(QString::number(green)));
    }

    void startsEveryLineAtThePositionsEdge_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<TextPosition>("position");
        QTest::addColumn<int>("edge");
        QTest::newRow("1920 left") << 1920 << TextPosition::Left << 100;
        QTest::newRow("1920 center") << 1920 << TextPosition::Center << 768;
        QTest::newRow("1920 right") << 1920 << TextPosition::Right << 1440;
        QTest::newRow("1366 center") << 1366 << TextPosition::Center << 546;
        QTest::newRow("1366 right") << 1366 << TextPosition::Right << 1024;
    }

    void startsEveryLineAtThePositionsEdge()
    {
        QFETCH(int, width);
        QFETCH(TextPosition, position);
        QFETCH(int, edge);
        TestEnvironment env;
        PreviewJob s = job(writeSource(env, "white.png", {64, 48}), "H\n\nH", {width, 300});
        // The ink of "H" starts its side bearing right of the line's edge.
        const int bearing = inkBox(composePreviewImage(s).image).left() - 100;
        QVERIFY(bearing >= 0 && bearing < s.fontPixelSize / 4);
        s.position = position;
        const QImage image = composePreviewImage(s).image;
        QCOMPARE(inkBox(image, Paper, 0, 100).left(), edge + bearing);
        QCOMPARE(inkBox(image, Paper, 100).left(), edge + bearing);
    }

    void placesTheLinesFromTheAscender()
    {
        TestEnvironment env;
        const QString source = writeSource(env, "white.png", {64, 48});
        const QImage a = composePreviewImage(job(source, "A\nA")).image;
        const QRect first = inkBox(a, Paper, 0, 110);
        // The first line's ascender lies at y = 50: "A" ends one ascent lower,
        // and the next line's "A" one ascent + 4 below that.
        const int ascent = first.bottom() + 1 - 50;
        QVERIFY(first.top() > 50 && ascent > 30 && ascent < 50);
        QCOMPARE(inkBox(a, Paper, first.bottom() + 1).bottom(), first.bottom() + ascent + 4);

        SystemInfo host;
        host.hostname = QStringLiteral("desk");
        const QImage block = composePreviewImage(job(source, composeInfoText(host, {}))).image;
        const QRect ink = inkBox(block);
        QVERIFY(ink.top() >= 50 + 2 * (ascent + 4) && ink.top() < 50 + 3 * (ascent + 4));
    }

    void stretchesToTheDesktopAndKeepsAlpha()
    {
        TestEnvironment env;
        QImage halves(800, 600, QImage::Format_RGB32);
        halves.fill(Qt::red);
        for (int y = 0; y < 600; ++y)
            std::fill_n(reinterpret_cast<QRgb *>(halves.scanLine(y)) + 400, 400, qRgb(0, 0, 255));
        for (const char *name : {"halves.jpg", "halves.png"}) {
            QVERIFY(halves.save(env.path(name), nullptr, 95));
            const QImage image = composePreviewImage(job(env.path(name), {})).image;
            QCOMPARE(image.size(), QSize(1920, 1080));
            QVERIFY(qRed(image.pixel(900, 1000)) > 240 && qBlue(image.pixel(1020, 1000)) > 240);
        }

        PreviewJob s = job(writeSource(env, "clear.png", {800, 600}, QColor(0, 0, 0, 0)), "A");
        const QImage clear = composePreviewImage(s).image;
        QVERIFY(clear.hasAlphaChannel());
        QCOMPARE(qAlpha(clear.pixel(1000, 1000)), 0);
        const std::optional<QString> file = writeTemporaryImage(clear, env.paths().tempDir);
        QVERIFY(file);
        const QImage back(*file);
        QCOMPARE(back.size(), QSize(1920, 1080));
        QCOMPARE(qAlpha(back.pixel(1000, 1000)), 0);
        int opaque = 0;
        for (int x = 0; x < 1920; ++x)
            opaque += qAlpha(back.pixel(x, 50 + 20)) == 255 ? 1 : 0;
        QVERIFY(opaque > 0);
    }

    void refusesWhatItCannotUse_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("font");
        QTest::addColumn<int>("size");
        QTest::addColumn<PreviewFailure>("failure");
        const QString images = QStringLiteral(KORVEL_TEST_DATA "/images/");
        QTest::newRow("missing image")
            << "missing.png" << Font << 20 << PreviewFailure::ImageUnreadable;
        QTest::newRow("not an image")
            << "text.png" << Font << 20 << PreviewFailure::ImageUnreadable;
        QTest::newRow("truncated image")
            << "cut.png" << Font << 20 << PreviewFailure::ImageUnreadable;
        QTest::newRow("30000 x 30000 declared")
            << images + "declares-30000x30000.png" << Font << 20 << PreviewFailure::ImageTooLarge;
        QTest::newRow("missing font") << "white.png"
                                      << "missing.ttf" << 20 << PreviewFailure::FontUnusable;
        QTest::newRow("not a font") << "white.png"
                                    << "text.png" << 20 << PreviewFailure::FontUnusable;
        QTest::newRow("size 0") << "white.png" << Font << 0 << PreviewFailure::FontSizeRefused;
        QTest::newRow("size 100000")
            << "white.png" << Font << 100000 << PreviewFailure::FontSizeRefused;
    }

    void refusesWhatItCannotUse()
    {
        QFETCH(QString, image);
        QFETCH(QString, font);
        QFETCH(int, size);
        QFETCH(PreviewFailure, failure);
        TestEnvironment env;
        writeSource(env, "white.png", {640, 480});
        env.writeFile("text.png", "not an image\n");
        env.writeFile("cut.png", TestEnvironment::readFile(env.path("white.png")).left(300));
        PreviewJob s = job(QDir(env.dir()).absoluteFilePath(image), {});
        s.fontPath = QDir(env.dir()).absoluteFilePath(font);
        s.fontPixelSize = size;
        QElapsedTimer timer;
        timer.start();
        const ComposedPreview composed = composePreviewImage(s);
        QCOMPARE(composed.failure, failure);
        QVERIFY(composed.image.isNull());
        QVERIFY(timer.elapsed() < 1000);
    }

    void refusesAnUnreadableFont()
    {
        if (Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction()));
            return;
        }
        TestEnvironment env;
        PreviewJob s = job(writeSource(env, "white.png", {64, 48}), "A");
        s.fontPath = env.writeFile("font.ttf", TestEnvironment::readFile(Font));
        QVERIFY(QFile::setPermissions(s.fontPath, QFileDevice::WriteOwner));
        QCOMPARE(composePreviewImage(s).failure, PreviewFailure::FontUnusable);
    }

    void neverWritesThroughAPlantedLink()
    {
        TestEnvironment env;
        const QString victim = env.writeFile("victim.txt", "keep me");
        const QString tmp = env.paths().tempDir;
        QVERIFY(QFile::link(victim, tmp + "1700000000.0.png"));
        QVERIFY(QFile::link(env.path("nowhere"), tmp + "1700000000.5.png"));
        double next = 1700000000.0;
        const std::optional<QString> file =
            writeTemporaryImage(QImage(64, 48, QImage::Format_RGB32), tmp, [&] {
                const double stamp = next;
                next += 0.5;
                return stamp;
            });
        QCOMPARE(file, std::optional<QString>(tmp + "1700000001.0.png"));
        QCOMPARE(TestEnvironment::readFile(victim), QByteArray("keep me"));
        QVERIFY(!QFile::exists(env.path("nowhere")));
        struct stat info;
        QCOMPARE(::lstat(QFile::encodeName(*file).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, 0600u);
        QCOMPARE(QImage(*file).size(), QSize(64, 48));

        QVERIFY(!writeTemporaryImage(QImage(8, 8, QImage::Format_RGB32), env.path("gone/")));
        QVERIFY(!QDir(env.path("gone")).exists());
    }
};

QTEST_MAIN(TestPreviewImage)
#include "tst_previewimage.moc"
