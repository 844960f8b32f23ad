#include "helpers/TestEnvironment.h"
#include "picture/AreaScaling.h"
#include "picture/InfoText.h"
#include "picture/JpegDecoder.h"
#include "picture/PictureComposition.h"
#include "picture/PngChunks.h"
#include "picture/PngDecoder.h"

#include <QtTest>

using namespace korvel;
Q_DECLARE_METATYPE(korvel::TextPosition)
Q_DECLARE_METATYPE(korvel::SystemInfo)

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

// What may be wrong with a PNG's image data, its chunks intact.
enum class Damage { None, Checksum, CutShort, RowTooMany, FilterType };

// A PNG of seeded noise with every row filtered by `filter`, its image data in
// several chunks. Half the samples take one of four levels, so that the
// predictors tie often (Paeth's above all).
QByteArray noisePng(int width, int height, int colourType, int filter, Damage damage = Damage::None)
{
    const int channels = colourType == 0 ? 1 : colourType == 4 ? 2 : colourType == 2 ? 3 : 4;
    const int size = width * channels;
    QRandomGenerator noise(quint32(colourType * 8 + filter));
    QByteArray raw(size * height, Qt::Uninitialized), filtered;
    for (char &sample : raw)
        sample = char(noise.bounded(2) ? noise.bounded(4) * 85 : noise.bounded(256));
    const auto at = [&](int y, int i) {
        return y < 0 || i < 0 ? 0 : int(uchar(raw[y * size + i]));
    };
    for (int y = 0; y < height; ++y) {
        filtered += char(filter);
        for (int i = 0; i < size; ++i) {
            const int a = at(y, i - channels), b = at(y - 1, i), c = at(y - 1, i - channels);
            const int pa = std::abs(b - c), pb = std::abs(a - c), pc = std::abs(a + b - 2 * c);
            const int predicted[] = {0, a, b, (a + b) / 2,
                                     pa <= pb && pa <= pc ? a
                                     : pb <= pc           ? b
                                                          : c};
            filtered += char(at(y, i) - predicted[filter]);
        }
    }
    QByteArray file(png::Signature, png::SignatureSize);
    const auto chunk = [&](const char *type, const QByteArray &data) {
        const png::ChunkFrame frame = png::chunkFrame(
            type, reinterpret_cast<const uchar *>(data.constData()), quint32(data.size()));
        file += QByteArray(reinterpret_cast<const char *>(frame.head), 8) + data +
                QByteArray(reinterpret_cast<const char *>(frame.tail), 4);
    };
    if (damage == Damage::FilterType)
        filtered[height / 2 * (size + 1)] = 5;
    unsigned char header[13];
    png::header(header, quint32(width), quint32(height - (damage == Damage::RowTooMany)),
                uchar(colourType));
    chunk("IHDR", QByteArray(reinterpret_cast<const char *>(header), 13));
    QByteArray compressed = qCompress(filtered).mid(4); // the zlib stream after its length
    if (damage == Damage::Checksum)
        compressed[compressed.size() - 1] = char(compressed.back() ^ 1);
    if (damage == Damage::CutShort)
        compressed.chop(compressed.size() / 3);
    for (int from = 0; from < compressed.size(); from += 4096)
        chunk("IDAT", compressed.mid(from, 4096));
    chunk("IEND", {});
    return file;
}

} // namespace

Q_DECLARE_METATYPE(Damage)

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

    void decodesNoiseAsQtDoes_data()
    {
        QTest::addColumn<int>("colourType");
        QTest::addColumn<int>("filter");
        for (int colourType : {0, 2, 4, 6})
            for (int filter = 0; filter < 5; ++filter)
                QTest::addRow("colour type %d, filter %d", colourType, filter)
                    << colourType << filter;
    }

    // Qt's pixels; and for a desktop of at most half the size in both directions, the half
    // size: per channel (a + b + c + d + 2) >> 2 of the premultiplied pixels of each 2 x 2
    // block, the odd last column and row left out.
    void decodesNoiseAsQtDoes()
    {
        QFETCH(int, colourType);
        QFETCH(int, filter);
        const QByteArray bytes = noisePng(67, 131, colourType, filter); // batches of 64 rows
        const QImage qt = QImage::fromData(bytes, "PNG").convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(decodeFastPng(bytes).image.convertToFormat(QImage::Format_ARGB32), qt);
        for (const QSize &desktop : {QSize(34, 65), QSize(33, 66)})
            QCOMPARE(decodeFastPng(bytes, desktop).image.size(), qt.size());
        const QImage half = decodeFastPng(bytes, {33, 65}).image;
        QCOMPARE(half.size(), QSize(33, 65));
        for (int y = 0; y < 65; ++y)
            for (int x = 0; x < 33; ++x) {
                QRgb mean = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    uint sum = 2;
                    for (int i = 0; i < 4; ++i)
                        sum += qPremultiply(qt.pixel(2 * x + i % 2, 2 * y + i / 2)) >> shift & 0xff;
                    mean |= sum >> 2 << shift;
                }
                QCOMPARE(half.pixel(x, y), mean);
            }
        // Opaque pictures shrunk as their rows come: the whole decoded picture shrunk.
        if (colourType == 0 || colourType == 2) {
            const QImage whole = decodeFastPng(bytes).image;
            QCOMPARE(decodeFastPng(bytes, {}, {66, 130}).image, *shrinkByArea(whole, {66, 130}));
            QCOMPARE(decodeFastPng(bytes, {33, 65}, {32, 9}).image, *shrinkByArea(half, {32, 9}));
        }
    }

    // Image data that is damaged inside intact chunks is refused, whatever part
    // of the picture is used.
    void refusesDamagedImageData_data()
    {
        QTest::addColumn<Damage>("damage");
        QTest::newRow("checksum") << Damage::Checksum;
        QTest::newRow("cut short") << Damage::CutShort;
        QTest::newRow("a row too many") << Damage::RowTooMany;
        QTest::newRow("unknown filter type") << Damage::FilterType;
    }

    void refusesDamagedImageData()
    {
        QFETCH(Damage, damage);
        const QByteArray bytes = noisePng(67, 131, 2, 4, damage);
        for (const QSize &atLeast : {QSize(), QSize(33, 65)})
            for (const QSize &shrinkTo : {QSize(), QSize(20, 2)})
                QCOMPARE(decodeFastPng(bytes, atLeast, shrinkTo).outcome,
                         ImageDecoding::Outcome::Corrupt);
    }

    void shrinksAsQtDoes_data()
    {
        QTest::addColumn<QSize>("source");
        QTest::addColumn<QSize>("target"); // empty: not shrunk in both directions, left to Qt
        QTest::newRow("4K from 4000x3000") << QSize(4000, 3000) << QSize(3840, 2160);
        QTest::newRow("one pixel less") << QSize(1367, 769) << QSize(1366, 768);
        QTest::newRow("to a third and less") << QSize(301, 97) << QSize(100, 31);
        QTest::newRow("to one row") << QSize(640, 480) << QSize(639, 1);
        QTest::newRow("to one pixel") << QSize(5, 7) << QSize(1, 1);
        QTest::newRow("as wide") << QSize(200, 100) << QSize();
        QTest::newRow("wider") << QSize(200, 100) << QSize();
    }

    // Pixel for pixel Qt's smooth scaling, on noise; other sizes are not taken.
    void shrinksAsQtDoes()
    {
        QFETCH(QSize, source);
        QFETCH(QSize, target);
        QImage noise(source, QImage::Format_RGB32);
        QRandomGenerator random(quint32(source.width()));
        for (int y = 0; y < noise.height(); ++y)
            for (int x = 0; x < noise.width(); ++x)
                noise.setPixel(x, y, random.generate() | 0xff000000u);
        const QSize refused =
            QTest::currentDataTag() == QByteArray("as wide") ? QSize(200, 50) : QSize(201, 50);
        if (target.isEmpty()) {
            QVERIFY(!shrinkByArea(noise, refused));
            return;
        }
        const std::optional<QImage> ours = shrinkByArea(noise, target);
        QVERIFY(ours);
        QCOMPARE(*ours, noise.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
    }

    void decodesJpegAtTheDesktopsSizeOrMore_data()
    {
        QTest::addColumn<QSize>("source"); // for a desktop of 96 x 64
        QTest::addColumn<int>("scale");    // decoded at 1 / scale
        for (int times : {2, 4, 8})
            for (int less : {0, 1}) {
                const char *side = less == 1 ? " less one pixel" : "";
                const int scale = less == 1 ? times / 2 : times;
                QTest::addRow("%dx as wide%s", times, side)
                    << QSize(96 * times - less, 512) << scale;
                QTest::addRow("%dx as high%s", times, side)
                    << QSize(768, 64 * times - less) << scale;
            }
        QTest::addRow("tall, decoded in two halves") << QSize(160, 9600) << 1; // Qt's exactly
        QTest::addRow("tall, at a quarter") << QSize(640, 38400) << 4;
    }

    // Never below the desktop in either direction, and once scaled to it, close to Qt's whole
    // decoding scaled there, on a texture of smoothed noise, in 8-bit channel steps: a mean
    // below 1 at exact multiples; a side one pixel short ends in a half block of repeated
    // edge, which shifts the picture by up to a quarter of a desktop pixel (a mean near 2).
    void decodesJpegAtTheDesktopsSizeOrMore()
    {
        QFETCH(QSize, source);
        QFETCH(int, scale);
        const QSize desktop(96, 64);
        QImage texture(source / 16, QImage::Format_RGB32);
        QRandomGenerator noise(quint32(source.width() + source.height()));
        for (int y = 0; y < texture.height(); ++y)
            for (int x = 0; x < texture.width(); ++x)
                texture.setPixel(x, y, noise.generate());
        QByteArray bytes;
        QBuffer buffer(&bytes);
        QVERIFY(buffer.open(QIODevice::WriteOnly) &&
                texture.scaled(source, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                    .save(&buffer, "JPG", 90));
        const QImage decoded = decodeFastJpeg(bytes, desktop).image;
        const auto up = [&](int side) { return (side + scale - 1) / scale; }; // libjpeg rounds up
        QCOMPARE(decoded.size(), QSize(up(source.width()), up(source.height())));
        QVERIFY(decoded.width() >= desktop.width() && decoded.height() >= desktop.height());
        QVERIFY(scale > 1 ||
                decoded == QImage::fromData(bytes).convertToFormat(QImage::Format_RGB32));
        // Shrunk row by row as decoded (in two halves for the tall one): the
        // same as the whole decoded picture shrunk.
        const QSize shrunk = decoded.size() - QSize(1, 1);
        QCOMPARE(decodeFastJpeg(bytes, desktop, shrunk).image, *shrinkByArea(decoded, shrunk));
        const QImage ours =
            decoded.scaled(desktop, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        const QImage qt = QImage::fromData(bytes)
                              .convertToFormat(QImage::Format_RGB32)
                              .scaled(desktop, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        int total = 0, largest = 0;
        for (int y = 0; y < desktop.height(); ++y)
            for (int x = 0; x < desktop.width(); ++x)
                for (int shift = 0; shift < 24; shift += 8) {
                    const int difference = std::abs(int(ours.pixel(x, y) >> shift & 0xff) -
                                                    int(qt.pixel(x, y) >> shift & 0xff));
                    total += difference;
                    largest = std::max(largest, difference);
                }
        const double mean = double(total) / (desktop.width() * desktop.height() * 3);
        QVERIFY2(mean < 3 && largest < 24,
                 qPrintable(QStringLiteral("mean %1, largest %2").arg(mean).arg(largest)));
    }

    // Rows of tests/data/picture/text-block.txt.
    void composesTheTextBlock_data()
    {
        QTest::addColumn<SystemInfo>("facts");
        QTest::addColumn<QString>("freeText");
        QTest::addColumn<QString>("block");
        for (const TestEnvironment::Row &row :
             TestEnvironment::readRows("picture/text-block.txt", 3)) {
            std::optional<QString> f[5];
            for (int i = 0; i < 5; ++i)
                if (const QString fact = row.fields[0].section(',', i, i); fact != "-")
                    f[i] = fact;
            QTest::newRow(row.tag.constData())
                << SystemInfo{f[0], f[1], f[2], f[3], f[4]} << row.fields[1] << row.fields[2];
        }
    }
    void composesTheTextBlock()
    {
        QFETCH(SystemInfo, facts);
        QFETCH(QString, freeText);
        QFETCH(QString, block);
        QCOMPARE(composeInfoText(facts, freeText), block);
    }

    void drawsAColourOutsideTheTableBlack()
    {
        for (const int outside : {-1, 6, 7, INT_MIN})
            QCOMPARE(textColor(outside), QColor(Qt::black));
    }
};

QTEST_MAIN(TestPicture)
#include "tst_picture.moc"
