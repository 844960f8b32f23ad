#include "helpers/TestEnvironment.h"
#include "preview/InfoText.h"
#include "preview/JpegDecoder.h"
#include "preview/PngDecoder.h"
#include "preview/PreviewImage.h"
#include "preview/TemporaryImage.h"

#include <QtTest>

#include <sys/stat.h>

using namespace korvel;
Q_DECLARE_METATYPE(korvel::TextPosition)

namespace {

const QString Images = QStringLiteral(KORVEL_TEST_DATA "/images/");

PreviewJob job(const QString &image, const QString &text, const QSize &desktop = {1920, 1080})
{
    PreviewJob job;
    job.imagePath = Images + image;
    job.fontPath = Paths::installed().font;
    job.fontPixelSize = 40;
    job.desktop = desktop;
    job.text = text;
    return job;
}

// The boxes of the runs of rows with ink (pixels other than white), top to bottom.
QVector<QRect> inkLines(const QImage &image)
{
    QVector<QRect> lines;
    QRect previous;
    for (int y = 0; y < image.height(); ++y) {
        QRect row;
        for (int x = 0; x < image.width(); ++x)
            row |= image.pixel(x, y) != qRgb(255, 255, 255) ? QRect(x, y, 1, 1) : QRect();
        if (!row.isNull())
            previous.isNull() ? lines.append(row) : void(lines.last() |= row);
        previous = row;
    }
    return lines;
}

} // namespace

class TestPreviewImage : public QObject
{
    Q_OBJECT

private slots:
    void placesEveryLine_data()
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

    // Every line starts at the position's edge, the first line's ascender lies at y = 50, one
    // line every ascent + 4, in the chosen colour; a host-name-only block starts on its third line.
    void placesEveryLine()
    {
        QFETCH(int, width);
        QFETCH(TextPosition, position);
        QFETCH(int, edge);
        PreviewJob s = job("white.png", "H\nH", {width, 300});
        s.colorIndex = 2;
        // The ink of "H" starts its side bearing right of the line's edge and ends on the baseline.
        const int bearing = inkLines(composePreviewImage(s).image).value(0).left() - 100;
        QVERIFY(bearing >= 0 && bearing < s.fontPixelSize / 4);
        s.position = position;
        const QImage image = composePreviewImage(s).image;
        const QVector<QRect> lines = inkLines(image);
        QCOMPARE(lines.size(), 2);
        const int ascent = lines[0].bottom() + 1 - 50;
        QVERIFY(lines[0].top() > 50 && ascent > 30 && ascent < 50);
        QCOMPARE(lines[1].bottom(), lines[0].bottom() + ascent + 4);
        QCOMPARE(lines[0].left(), edge + bearing);
        QCOMPARE(lines[1].left(), edge + bearing);
        QCOMPARE(image.pixel(edge + bearing + 2, lines[0].center().y()), qRgb(0, 128, 0));

        s.text = composeInfoText({{}, QStringLiteral("desk"), {}, {}, {}}, {});
        const int top = inkLines(composePreviewImage(s).image).value(0).top();
        QVERIFY(top >= 50 + 2 * (ascent + 4) && top < 50 + 3 * (ascent + 4));
    }

    void stretchesToTheDesktopAndKeepsAlpha()
    {
        for (const char *name : {"halves.jpg", "halves.png"}) { // 800 x 600, red | blue
            const QImage image = composePreviewImage(job(name, {})).image;
            QCOMPARE(image.size(), QSize(1920, 1080));
            QVERIFY(qRed(image.pixel(900, 1000)) > 240 && qBlue(image.pixel(1020, 1000)) > 240);
        }
        TestEnvironment env;
        const QImage clear = composePreviewImage(job("clear.png", "A")).image; // 800 x 600, alpha 0
        const QImage back(writeTemporaryImage(clear, env.paths().tempDir).value_or(QString()));
        QCOMPARE(back.size(), QSize(1920, 1080));
        QCOMPARE(qAlpha(back.pixel(1000, 1000)), 0);
        int opaque = 0;
        for (int x = 0; x < 1920; ++x)
            opaque += qAlpha(back.pixel(x, 50 + 20)) == 255 ? 1 : 0;
        QVERIFY(opaque > 0);
    }

    // Every kind of PNG that Qt reads, and the JPEGs, give Qt's pixels, whichever
    // decoder takes them; a damaged or cut PNG is refused by both.
    void decodesEveryPngAsQtDoes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("quick"); // taken by the quick decoder
        const QStringList quick{"rgb8.png", "rgba8.png", "grey8.png",      "greyalpha8.png",
                                "rgb.jpg",  "grey.jpg",  "progressive.jpg"};
        for (const QString &file : QDir(Images + "formats").entryList(QDir::Files))
            QTest::newRow(qPrintable(file))
                << file << (quick.contains(file) || file.startsWith("filters"));
    }

    void decodesEveryPngAsQtDoes()
    {
        QFETCH(QString, file);
        QFETCH(bool, quick);
        const QByteArray bytes = TestEnvironment::readFile(Images + "formats/" + file);
        const bool jpeg = file.endsWith(".jpg");
        const ImageDecoding decoded = jpeg ? decodeFastJpeg(bytes) : decodeFastPng(bytes);
        QCOMPARE(decoded.outcome,
                 quick ? ImageDecoding::Outcome::Decoded : ImageDecoding::Outcome::NotHandled);
        const QImage qt = QImage::fromData(bytes).convertToFormat(QImage::Format_ARGB32);
        if (quick)
            QCOMPARE(decoded.image.convertToFormat(QImage::Format_ARGB32), qt);
        // For a desktop of half its size or less, an opaque one decodes at half
        // size: each pixel the rounded mean of a 2 x 2 block.
        const QImage half = decodeFastPng(bytes, qt.size() / 2).image;
        if (quick && !jpeg && !qt.hasAlphaChannel()) {
            QCOMPARE(half.size(), qt.size() / 2);
            for (const QPoint &p : {QPoint(0, 0), QPoint(7, 3), QPoint(29, 17)}) {
                int sum[3] = {};
                for (const QPoint &d : {QPoint(0, 0), QPoint(1, 0), QPoint(0, 1), QPoint(1, 1)}) {
                    const QRgb c = qt.pixel(p * 2 + d);
                    sum[0] += qRed(c), sum[1] += qGreen(c), sum[2] += qBlue(c);
                }
                QCOMPARE(half.pixel(p), qRgb((sum[0] + 2) / 4, (sum[1] + 2) / 4, (sum[2] + 2) / 4));
            }
        }
        // The desktop image keeps alpha premultiplied.
        PreviewJob png = job("formats/" + file, {}, qt.size());
        const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
        QCOMPARE(loadDesktopImage(png).image.convertToFormat(premultiplied),
                 QImage::fromData(bytes).convertToFormat(premultiplied));

        if (jpeg) // a JPEG decoder makes what it can of damaged data, as Qt's does
            return;
        TestEnvironment env;
        QByteArray damaged = bytes;
        damaged[bytes.size() / 2] = char(damaged[bytes.size() / 2] ^ 0x20);
        for (const QByteArray &broken : {damaged, bytes.left(bytes.size() * 2 / 3)}) {
            png.imagePath = env.writeFile("broken.png", broken);
            QCOMPARE(loadDesktopImage(png).failure, PreviewFailure::ImageUnreadable);
        }
    }

    void neverWritesThroughAPlantedLink()
    {
        TestEnvironment env;
        const QString victim = env.writeFile("victim.txt", "keep me");
        const QString tmp = env.paths().tempDir;
        QVERIFY(QFile::link(victim, tmp + "1700000000.0.png"));
        QVERIFY(QFile::link(env.path("nowhere"), tmp + "1700000000.5.png"));
        double next = 1700000000.0;
        const std::optional<QString> file = writeTemporaryImage(
            QImage(64, 48, QImage::Format_RGB32), tmp, [&] { return (next += 0.5) - 0.5; });
        QCOMPARE(file, std::optional<QString>(tmp + "1700000001.0.png"));
        QCOMPARE(TestEnvironment::readFile(victim), QByteArray("keep me"));
        QVERIFY(!QFile::exists(env.path("nowhere")));
        struct stat info;
        QCOMPARE(::lstat(QFile::encodeName(*file).constData(), &info), 0);
        QCOMPARE(info.st_mode & 07777, 0600u);
        QCOMPARE(QImage(*file).size(), QSize(64, 48));
    }
};

QTEST_MAIN(TestPreviewImage)
#include "tst_previewimage.moc"
