#include "helpers/TestEnvironment.h"
#include "settings/ImageSource.h"
#include "settings/StrictInteger.h"
#include "settings/WallpaperInstallation.h"

#include <QImage>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using korvel::ImageSource;

class TestSettingsFile : public QObject
{
    Q_OBJECT

private slots:
    void strictIntegers_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<bool>("valid");
        QTest::addColumn<int>("value");
        QTest::newRow("decimal") << QVariant(QStringLiteral("20")) << true << 20;
        QTest::newRow("negative") << QVariant(QStringLiteral("-3")) << true << -3;
        QTest::newRow("int max") << QVariant(QStringLiteral("2147483647")) << true << 2147483647;
        QTest::newRow("int min") << QVariant(QStringLiteral("-2147483648")) << true
                                 << int(-2147483648LL);
        QTest::newRow("just above int") << QVariant(QStringLiteral("2147483648")) << false << 0;
        QTest::newRow("wraps in toInt") << QVariant(QStringLiteral("99999999999")) << false << 0;
        QTest::newRow("letters") << QVariant(QStringLiteral("twelve")) << false << 0;
        QTest::newRow("empty") << QVariant(QString()) << false << 0;
        QTest::newRow("hex") << QVariant(QStringLiteral("0x10")) << false << 0;
        QTest::newRow("fraction") << QVariant(QStringLiteral("1.5")) << false << 0;
        QTest::newRow("list") << QVariant(QStringList{"1", "2"}) << false << 0;
        QTest::newRow("int") << QVariant(7) << true << 7;
        QTest::newRow("long long") << QVariant(qlonglong(1) << 40) << false << 0;
    }

    void strictIntegers()
    {
        QFETCH(QVariant, stored);
        QFETCH(bool, valid);
        QFETCH(int, value);
        const std::optional<int> read = korvel::toStrictInt(stored);
        QCOMPARE(read.has_value(), valid);
        if (valid)
            QCOMPARE(*read, value);
    }

    void refusesAFileLargerThanTheLimit()
    {
        TestEnvironment env;
        const QString path = env.writeFile(QStringLiteral("huge.png"), {});
        QVERIFY(QFile::resize(path, ImageSource::MaxSize + 1)); // sparse: costs no disk
        QCOMPARE(ImageSource::read(path).problem(), ImageSource::Problem::TooLarge);
    }

    // The installed copy has mode 0664 whatever the umask, replaces the old
    // file in one step and leaves no temporary file behind.
    void installsWithMode0664()
    {
        TestEnvironment env;
        const QString image = env.path(QStringLiteral("sea.png"));
        QImage picture(4, 4, QImage::Format_RGB32);
        picture.fill(Qt::darkBlue);
        QVERIFY(picture.save(image, "PNG"));
        const QString target = env.writeFile(QStringLiteral("walls/wallpaper.png"), "old");
        const ImageSource source = ImageSource::read(image);
        QVERIFY(source.isValid());

        const mode_t umaskBefore = ::umask(077);
        {
            korvel::WallpaperInstallation installation(source, target);
            QVERIFY(installation.prepare());
            QCOMPARE(TestEnvironment::readFile(target), QByteArray("old"));
            QCOMPARE(QDir(env.path(QStringLiteral("walls")))
                         .entryList(QDir::Files | QDir::Hidden)
                         .size(),
                     2);
            QVERIFY(installation.commit());
        }
        {
            // Prepared but not committed: dropped.
            korvel::WallpaperInstallation abandoned(source,
                                                    env.path(QStringLiteral("walls/other.png")));
            QVERIFY(abandoned.prepare());
        }
        ::umask(umaskBefore);

        QCOMPARE(TestEnvironment::readFile(target), TestEnvironment::readFile(image));
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(target).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), 0664);
        QCOMPARE(QDir(env.path(QStringLiteral("walls"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("wallpaper.png")});
    }
};

QTEST_MAIN(TestSettingsFile)
#include "tst_settingsfile.moc"
