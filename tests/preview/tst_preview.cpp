#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "preview/PreviewRun.h"
#include "preview/TemporaryImage.h"

#include <QtTest>

#include <sys/stat.h>

using namespace korvel;
Q_DECLARE_METATYPE(korvel::PreviewRun::Result)
Q_DECLARE_METATYPE(korvel::PictureFailure)

// The preview's job without widgets: the picture, its temporary file, and
// what it says when either cannot be made. (The preview window is tested
// with the main window's preview button.)
class TestPreview : public QObject
{
    Q_OBJECT

private slots:
    // Rows of tests/data/preview/failures.txt: nothing is left in the temporary folder. (A
    // preview that starts is followed to its window with the main window's preview button.)
    void startsOrSaysWhy_data()
    {
        for (const char *column : {"image", "font", "tempDir"})
            QTest::addColumn<QString>(column);
        QTest::addColumn<int>("size");
        QTest::addColumn<PreviewRun::Result>("result");
        QTest::addColumn<PictureFailure>("failure");
        const QStringList results{"Started", "PictureFailed", "TempNotWritable"},
            failures{"", "ImageUnreadable", "ImageTooLarge", "FontUnusable", "FontSizeRefused"};
        for (const TestEnvironment::Row &row :
             TestEnvironment::readRows("preview/failures.txt", 5)) {
            const QStringList &f = row.fields, outcome = f[4].split(' ');
            QTest::newRow(row.tag.constData())
                << f[0] << f[1] << f[3] << f[2].toInt()
                << PreviewRun::Result(results.indexOf(outcome[0]))
                << PictureFailure(failures.indexOf(outcome.value(1)));
        }
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
        job.fontPath = font == "-" ? env.paths().font : env.resolved(font);
        job.fontPixelSize = size;
        job.desktop = {800, 600};
        job.text = "Кабинет 12";
        const QString tmp = tempDir == "-" ? env.paths().tempDir : env.resolved(tempDir);
        QElapsedTimer timer;
        timer.start();
        PreviewRun run = PreviewRun::start(job, tmp);
        QVERIFY(timer.elapsed() < 5000); // a declared size is refused before decoding
        QCOMPARE(run.result(), result);
        QCOMPARE(run.pictureFailure(), failure);
        QCOMPARE(QDir(env.paths().tempDir).entryList(QDir::Files | QDir::System), QStringList());
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
        // The shortest text that reads back as the same number.
        QCOMPARE(temporaryImageName(1765043254.1234567), "1765043254.1234567.png");
        QCOMPARE(TestEnvironment::readFile(victim), QByteArray("keep me"));
        QVERIFY(!QFile::exists(env.path("nowhere")));
        struct stat info;
        QVERIFY(::lstat(QFile::encodeName(*file).constData(), &info) == 0 &&
                (info.st_mode & 07777) == 0600);
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
