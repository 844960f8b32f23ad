#include "helpers/TestEnvironment.h"
#include "picture/InfoText.h"
#include "picture/JpegDecoder.h"
#include "picture/PictureComposition.h"
#include "picture/PngDecoder.h"

#include <QtTest>

using namespace korvel;
Q_DECLARE_METATYPE(korvel::TextPosition)

namespace {

const QString Images = QStringLiteral(KORVEL_TEST_DATA "/images/");

PictureJob job(const QString &image, const QString &text, const QSize &desktop = {1920, 1080})
{
    PictureJob job;
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

// The desktop picture: its text, its scaling and its decoders.
class TestPicture : public QObject
{
    Q_OBJECT

private slots:
    void placesEveryLine_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<TextPosition>("position");
        QTest::addColumn<int>("edge");
        QTest::newRow("1920 center") << 1920 << TextPosition::Center << 768;
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
        PictureJob s = job("white.png", "H\nH", {width, 300});
        s.colorIndex = 2;
        // The ink of "H" starts its side bearing right of the line's edge and ends on the baseline.
        const int bearing = inkLines(composePicture(s).image).value(0).left() - 100;
        QVERIFY(bearing >= 0 && bearing < s.fontPixelSize / 4);
        s.position = position;
        const QImage image = composePicture(s).image;
        const QVector<QRect> lines = inkLines(image);
        QCOMPARE(lines.size(), 2);
        const int ascent = lines[0].bottom() + 1 - 50;
        QVERIFY(lines[0].top() > 50 && ascent > 30 && ascent < 50);
        QCOMPARE(lines[1].bottom(), lines[0].bottom() + ascent + 4);
        QVERIFY(lines[0].left() == edge + bearing && lines[1].left() == edge + bearing);
        QCOMPARE(image.pixel(edge + bearing + 2, lines[0].center().y()), qRgb(0, 128, 0));

        s.text = composeInfoText({{}, QStringLiteral("desk"), {}, {}, {}}, {});
        const int top = inkLines(composePicture(s).image).value(0).top();
        QVERIFY(top >= 50 + 2 * (ascent + 4) && top < 50 + 3 * (ascent + 4));
    }

    // Alpha is kept: see the transparent preview in
    // showsEachPreviewForThreeSecondsThenRemovesItsFile.
    void stretchesToTheDesktop()
    {
        for (const char *name : {"halves.jpg", "halves.png"}) { // 800 x 600, red | blue
            const QImage image = composePicture(job(name, {})).image;
            QCOMPARE(image.size(), QSize(1920, 1080));
            QVERIFY(qRed(image.pixel(900, 1000)) > 240 && qBlue(image.pixel(1020, 1000)) > 240);
        }
    }

    // Every kind of PNG that Qt reads, and the JPEGs, give Qt's pixels, whichever
    // decoder takes them; a damaged or cut PNG is refused by both.
    void decodesEveryPngAsQtDoes_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<bool>("quick"); // taken by the quick decoder
        const QStringList quick{"rgb8.png", "rgba8.png", "grey8.png",       "greyalpha8.png",
                                "rgb.jpg",  "grey.jpg",  "progressive.jpg", "cmyk.jpg"};
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
        QVERIFY(!quick || decoded.image.convertToFormat(QImage::Format_ARGB32) == qt);
        // For a desktop of half its size or less, a PNG decodes at half size:
        // each pixel the rounded mean of a 2 x 2 block, premultiplied.
        const QSize halfSize(qt.width() / 2, qt.height() / 2);
        const QImage half = decodeFastPng(bytes, halfSize).image;
        if (quick && !jpeg) {
            QCOMPARE(half.size(), halfSize);
            const QRgb block[4] = {qPremultiply(qt.pixel(14, 6)), qPremultiply(qt.pixel(15, 6)),
                                   qPremultiply(qt.pixel(14, 7)), qPremultiply(qt.pixel(15, 7))};
            const auto mean = [&](int (*part)(QRgb)) {
                return (part(block[0]) + part(block[1]) + part(block[2]) + part(block[3]) + 2) / 4;
            };
            QCOMPARE(half.pixel(7, 3), qRgba(mean(qRed), mean(qGreen), mean(qBlue), mean(qAlpha)));
        }
        // The desktop image keeps alpha premultiplied.
        PictureJob png = job("formats/" + file, {}, qt.size());
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
            QCOMPARE(loadDesktopImage(png).failure, PictureFailure::ImageUnreadable);
        }
    }
};

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
