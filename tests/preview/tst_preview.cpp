#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "picture/InfoText.h"
#include "preview/PreviewRun.h"
#include "preview/TemporaryImage.h"

#include <QtTest>

#include <sys/stat.h>

using namespace korvel;
Q_DECLARE_METATYPE(korvel::PreviewRun::Result)
Q_DECLARE_METATYPE(korvel::PictureFailure)
Q_DECLARE_METATYPE(korvel::SystemInfo)

// The preview's job without widgets: the picture, its temporary file, and
// what it says when either cannot be made. (The preview window is tested
// with the main window's preview button.)
class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    // "@" is the test folder, with text.png (no picture), fifo.png, locked.ttf (unreadable).
    void startsOrSaysWhy_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("font"); // empty: the installed font
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("tempDir"); // empty: the test's
        QTest::addColumn<PreviewRun::Result>("result");
        QTest::addColumn<PictureFailure>("failure");
        const auto row = [](const char *tag, const QString &image, PictureFailure failure,
                            const QString &font = {}, int size = 40) {
            QTest::newRow(tag) << image << font << size << QString()
                               << (failure == PictureFailure::None
                                       ? PreviewRun::Result::Started
                                       : PreviewRun::Result::PictureFailed)
                               << failure;
        };
        const QString jpeg = "@data/images/halves.jpg";
        row("a JPEG", jpeg, PictureFailure::None);
        const auto unreadable = PictureFailure::ImageUnreadable,
                   tooLarge = PictureFailure::ImageTooLarge;
        row("missing image", "@missing.png", unreadable);
        row("not an image", "@text.png", unreadable);
        row("fifo as the image", "@fifo.png", unreadable);
        row("truncated image", "@data/images/cut.png", unreadable);
        row("an icon file holding a picture past the limit",
            "@data/images/icon-holding-8200x8200.ico", unreadable);
        row("a JPEG of 2000 scans", "@data/images/2000-scans.jpg", unreadable);
        row("declares 30000 x 30000", "@data/images/declares-30000x30000.png", tooLarge);
        row("a PNG whose sides multiply past 64 bits",
            "@data/images/declares-4294967295x4294967295.png", tooLarge);
        row("missing font", jpeg, PictureFailure::FontUnusable, "@none.ttf");
        row("not a font", jpeg, PictureFailure::FontUnusable, "@text.png");
        row("unreadable font", jpeg, PictureFailure::FontUnusable, "@locked.ttf");
        row("size 0", jpeg, PictureFailure::FontSizeRefused, {}, 0);
        row("size 100000", jpeg, PictureFailure::FontSizeRefused, {}, 100000);
        QTest::newRow("temporary folder not writable")
            << jpeg << QString() << 40 << "@gone/" << PreviewRun::Result::TempNotWritable
            << PictureFailure::None;
    }
    void startsOrSaysWhy()
    {
        QFETCH(QString, image);
        QFETCH(QString, font);
        QFETCH(int, size);
        QFETCH(QString, tempDir);
        QFETCH(PreviewRun::Result, result);
        QFETCH(PictureFailure, failure);
        AS_NOBODY_IF(font.contains("locked"));
        TestEnvironment env;
        env.writeFile("text.png", "no picture");
        QCOMPARE(::mkfifo(QFile::encodeName(env.path("fifo.png")).constData(), 0644), 0);
        QVERIFY(QFile::setPermissions(
            env.writeFile("locked.ttf", TestEnvironment::readFile(env.paths().font)),
            QFileDevice::WriteOwner));
        PictureJob job;
        job.imagePath = env.resolved(image);
        job.fontPath = font.isEmpty() ? env.paths().font : env.resolved(font);
        job.fontPixelSize = size;
        job.desktop = {800, 600};
        job.text = "Кабинет 12";
        const QString tmp = tempDir.isEmpty() ? env.paths().tempDir : env.resolved(tempDir);
        QElapsedTimer timer;
        timer.start();
        PreviewRun run = PreviewRun::start(job, tmp);
        QVERIFY(timer.elapsed() < 5000); // a declared size is refused before decoding
        QCOMPARE(run.result(), result);
        QCOMPARE(run.pictureFailure(), failure);
        const auto files = [&] {
            return QDir(env.paths().tempDir).entryList(QDir::Files | QDir::System);
        };
        if (result != PreviewRun::Result::Started) {
            QCOMPARE(files(), QStringList());
            return;
        }
        // The file holds the picture, named by the time; discarded, it is gone.
        QVERIFY(run.finish());
        QVERIFY(QRegularExpression("^\\d+\\.\\d+\\.png$").match(files().join(' ')).hasMatch());
        QCOMPARE(QImage(run.path()).convertToFormat(run.picture().format()), run.picture());
        run.discard();
        QCOMPARE(files(), QStringList());
    }

    void namesTheFileByTheTime_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("name");
        // The shortest text that reads back as the same number.
        QTest::newRow("whole") << 1700000000.0 << "1700000000.0.png";
        QTest::newRow("fraction") << 1765043254.1234567 << "1765043254.1234567.png";
    }
    void namesTheFileByTheTime()
    {
        QFETCH(double, seconds);
        QFETCH(QString, name);
        QCOMPARE(temporaryImageName(seconds), name);
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

    // The text block and its colour, as the picture engine makes them for the preview.
    void composesTheTextBlock_data()
    {
        QTest::addColumn<SystemInfo>("facts");
        QTest::addColumn<QString>("freeText");
        QTest::addColumn<QString>("block");
        QTest::newRow("nothing") << SystemInfo() << QString() << "\n\n\n\n\n\n\n";
        QTest::newRow("the host") << SystemInfo{{}, QString("desk-7"), {}, {}, {}} << QString()
                                  << "\n\nИмя компьютера: desk-7\n\n\n\n\n";
        QTest::newRow("empty host name keeps its label, two lines of free text")
            << SystemInfo{QString("anna"), QString(""), QString("10.0.0.5"), QString("255.0.0.0"),
                          QString("10.0.0.1")}
            << "Кабинет 12\nтел. 3-45"
            << "Имя пользователя:   anna\n\nИмя компьютера: \nIP-адрес компьютера:  10.0.0.5\n"
               "Маска сети:  255.0.0.0\nШлюз по-умолчанию:   10.0.0.1\n\nКабинет 12\nтел. 3-45";
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

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
