#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"
#include "picture/InfoText.h"
#include "picture/JpegDecoder.h"
#include "picture/PictureComposition.h"
#include "picture/PngDecoder.h"
#include "preview/PreviewWindow.h"
#include "preview/TemporaryImage.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>

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

QList<QPointer<PreviewWindow>> livePreviews()
{
    QList<QPointer<PreviewWindow>> found;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *preview = qobject_cast<PreviewWindow *>(widget))
            found.append(preview);
    return found;
}

QStringList tempFiles(const TestEnvironment &env)
{
    return QDir(env.paths().tempDir).entryList(QDir::Files | QDir::System | QDir::Hidden);
}

// Sets the image path and presses the preview button.
void pressPreview(QWidget &window, const QString &image)
{
    window.findChild<QLineEdit *>(QStringLiteral("lineBrowse"))->setText(image);
    window.findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
}

const QString Jpeg = Images + QStringLiteral("halves.jpg");

constexpr int Expiry = PreviewWindow::ShowMilliseconds + 1500;

} // namespace

// The preview's picture, its file and its window.
class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY_WITH_TIMEOUT(livePreviews().isEmpty(), Expiry); }

    // Two quick previews, the first one closed early by the user.
    void showsEachPreviewForThreeSecondsThenRemovesItsFile()
    {
        TestEnvironment env;
        // A preview form with a layout of its own still shows the whole picture.
        env.writeFile(QStringLiteral("share/preview.xml"),
                      "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"Form\">"
                      "<layout class=\"QVBoxLayout\" name=\"l\"><item><spacer name=\"s\"/>"
                      "</item></layout></widget></ui>");
        auto window = env.makeWindow();
        pressPreview(*window, Jpeg);
        const QPointer<PreviewWindow> first = livePreviews().value(0);
        QVERIFY(first && first->isVisible() && first->isFullScreen() &&
                first->windowTitle().isEmpty() && first->parentWidget() == nullptr);
        QCOMPARE(first->geometry(), QApplication::desktop()->geometry());
        QCOMPARE(first->findChild<QLabel *>()->geometry(), first->rect());
        const QStringList files = tempFiles(env);
        QVERIFY(QRegularExpression("^\\d+\\.\\d+\\.png$").match(files.join(' ')).hasMatch()); // one
        // A second apart, so that load cannot make the two timers look like one.
        QTest::qWait(1000);
        pressPreview(*window, Images + QStringLiteral("clear.png")); // transparent
        const QPointer<PreviewWindow> second = livePreviews().value(livePreviews()[0] == first);
        QVERIFY(livePreviews().size() == 2 && tempFiles(env).size() == 2);
        // Each window shows exactly what its file holds, alpha included.
        for (const PreviewWindow *shown : {first.data(), second.data()}) {
            const QImage written(env.paths().tempDir + tempFiles(env).value(shown == second));
            QCOMPARE(shown->findChild<QLabel *>()
                         ->pixmap(Qt::ReturnByValue)
                         .toImage()
                         .convertToFormat(written.format()),
                     written);
        }
        // Closed early by the user, the first one still removes its file on time, and only its.
        QVERIFY(first->close());
        QTest::qWait(PreviewWindow::ShowMilliseconds - 1300);
        QCOMPARE(tempFiles(env).size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2000);
        QVERIFY(second && second->isVisible() && !tempFiles(env).contains(files[0]));
        QTRY_VERIFY_WITH_TIMEOUT(second.isNull() && tempFiles(env).isEmpty(), 2000);
    }

    void warnsAndLeavesNothingBehind_data() { TestEnvironment::addRows("preview/failures.txt", 2); }

    void warnsAndLeavesNothingBehind()
    {
        QFETCH(QStringList, row);
        AS_NOBODY_IF(row[0].contains("locked"));
        const QString change = row[0];
        QString text = row[1];
        TestEnvironment env;
        const QString dir = env.dir() + QLatin1Char('/');
        env.writeFile(QStringLiteral("text.png"), "no picture");
        QVERIFY(QFile::setPermissions(
            env.writeFile("locked.ttf", TestEnvironment::readFile(env.paths().font)),
            QFileDevice::WriteOwner));
        const QString what = change.section('=', 0, 0),
                      value = change.section('=', 1).replace("%1", dir).replace("%2", Images);
        if (what == "font")
            env.paths().font = value;
        if (what == "tmp")
            env.paths().tempDir = value;
        auto window = env.makeWindow();
        auto *size = window->findChild<QSpinBox *>(QStringLiteral("spinBox"));
        size->setRange(0, 100000);
        size->setValue(what == "size" ? value.toInt() : size->value());
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        QElapsedTimer timer;
        timer.start();
        pressPreview(*window, what == "image" ? value : Jpeg);
        QVERIFY(timer.elapsed() < 5000); // the declared size is refused before decoding

        QCOMPARE(answerer.seen().size(), 1);
        const ModalAnswerer::Seen &box = answerer.seen().first();
        QCOMPARE(
            QStringList({box.className, box.title, box.text}),
            QStringList({"QMessageBox", "Ошибка!", text.replace("%1", dir).replace("%2", Images)}));
        QVERIFY(box.icon == QMessageBox::Warning && box.buttons == QMessageBox::Ok && box.answered);
        QCOMPARE(box.parent.data(), window.get());
        QVERIFY(livePreviews().isEmpty() && tempFiles(env).isEmpty());
    }

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
        QVERIFY(::lstat(QFile::encodeName(*file).constData(), &info) == 0 &&
                (info.st_mode & 07777) == 0600);
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
