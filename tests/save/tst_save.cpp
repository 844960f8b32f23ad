#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "save/SaveJob.h"
#include "settings/SettingsFile.h"

#include <QtTest>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>

using namespace korvel;
Q_DECLARE_METATYPE(korvel::SaveOutcome)

namespace {

using Result = SaveOutcome::Result;
using Refusal = ImageSource::Refusal;

const QString White = QStringLiteral("@data/images/white.png");
const QString Example = QStringLiteral(KORVEL_TEST_DATA "/settings/saved-example.ini");

SaveOutcome failed(Result result, const QString &path, int error = 0)
{
    return {result, path, FileProblem::None, Refusal::None, error};
}
SaveOutcome unusable(const QString &image, FileProblem problem, Refusal refusal = Refusal::None)
{
    return {Result::ImageUnusable, image, problem, refusal, 0};
}

// The outcome in one line, with the test folder for "@".
QString describe(const SaveOutcome &o, const TestEnvironment &env)
{
    return QStringLiteral("result %1, %2, problem %3, refusal %4, errno %5")
        .arg(int(o.result))
        .arg(env.resolved(o.path))
        .arg(int(o.fileProblem))
        .arg(int(o.imageRefusal))
        .arg(o.writeError);
}

SaveOutcome save(const TestEnvironment &env, const QString &image)
{
    const QString path = env.resolved(image);
    return runSave({path, {path}, {}}, SettingsFile(env.paths().settingsFile),
                   env.paths().wallpaper);
}

int mode(const QString &path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode) : -1;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

// Name, owner, mode and content of every file in `folder`.
QByteArray state(const QString &folder)
{
    QByteArray state;
    for (const QString &name : entries(folder)) {
        const QString path = folder + '/' + name;
        const QString owner = QString::number(QFileInfo(path).ownerId());
        state += QStringLiteral("%1 %2 %3\n").arg(path, owner).arg(mode(path)).toUtf8();
        if (S_ISREG(mode(path)))
            state += TestEnvironment::readFile(path);
    }
    return state;
}

// A small file system over share/, seen by this thread only, with installed settings and
// wallpaper and a filler that leaves `free` bytes.
bool fillShare(TestEnvironment &env, int free)
{
    const QByteArray share = QFile::encodeName(env.path("share"));
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        ::mount("korvel-full", share.constData(), "tmpfs", 0, "size=1m") != 0)
        return false;
    env.writeFile("share/settings.ini", TestEnvironment::readFile(Example));
    env.writeFile("share/wallpaper.png", TestEnvironment::readFile(env.resolved(White)));
    struct statvfs fs = {};
    const int fd = ::open((share + "/.filler").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    return ::statvfs(share.constData(), &fs) == 0 &&
           ::posix_fallocate(fd, 0, off_t(fs.f_bavail * fs.f_frsize) - free) == 0 &&
           ::close(fd) == 0;
}

} // namespace

// The save job: what it refuses, and that a save that fails changes nothing.
class TestSave : public QObject
{
    Q_OBJECT

private slots:
    // As nobody (root passes every permission check); "@" is the test folder.
    void failedSaves_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>(
            "locked"); // made read-only ("in the way": a folder at the wallpaper)
        QTest::addColumn<SaveOutcome>("outcome");
        const QString walls = "@walls/wallpaper.png", settings = "@share/settings.ini";
        QTest::newRow("no image") << ""
                                  << "" << failed(Result::NoImageChosen, {});
        QTest::newRow("unwritable file")
            << White << settings << failed(Result::SettingsNotWritable, settings);
        QTest::newRow("settings folder")
            << White << "@share" << failed(Result::SettingsNotWritable, settings);
        const auto image = [](const char *tag, const QString &path, FileProblem problem,
                              Refusal refusal = Refusal::None) {
            QTest::newRow(tag) << path << "" << unusable(path, problem, refusal);
        };
        image("missing", "@pictures/none.png", FileProblem::Missing);
        image("blanks", "   ", FileProblem::Missing);
        image("folder", "@pictures/.", FileProblem::Directory);
        image("fifo", "@pictures/fifo", FileProblem::NotRegularFile);
        image("device", "/dev/zero", FileProblem::NotRegularFile);
        image("unreadable", "@pictures/secret.png", FileProblem::NotReadable);
        image("too large", "@pictures/huge.png", FileProblem::TooLarge);
        image("not an image", "@data/images/not-an-image.png", {}, Refusal::NotAnImage);
        image("empty", "@data/images/empty.png", {}, Refusal::NotAnImage);
        image("declares 30000 x 30000", "@data/images/declares-30000x30000.png", {},
              Refusal::TooManyPixels);
        image("an icon file holding a picture past the limit",
              "@data/images/icon-holding-8200x8200.ico", {}, Refusal::NotAnImage);
        image("a JPEG of 2000 scans", "@data/images/2000-scans.jpg", {}, Refusal::NotAnImage);
        image("a 16-bit PNG larger than Qt's reader may take",
              "@data/images/declares-8192x8192-16-bit.png", {}, Refusal::NotAnImage);
        QTest::newRow("wallpaper folder")
            << White << "@walls" << failed(Result::WallpaperFailed, walls, EACCES);
        QTest::newRow("wallpaper is a folder")
            << White << "in the way" << failed(Result::WallpaperFailed, walls, EISDIR);
    }
    void failedSaves()
    {
        AS_NOBODY_IF(true);
        QFETCH(QString, image);
        QFETCH(QString, locked);
        QFETCH(SaveOutcome, outcome);
        TestEnvironment env;
        const QString walls = env.path("walls"), share = env.path("share");
        env.paths().wallpaper = walls + "/wallpaper.png";
        const QString old = env.writeFile(
            locked == "in the way" ? "walls/wallpaper.png/old" : "walls/wallpaper.png", "old");
        const QByteArray before = TestEnvironment::readFile(Example);
        env.writeFile("share/settings.ini", before);
        QFile::setPermissions(
            env.writeFile("pictures/secret.png", TestEnvironment::readFile(env.resolved(White))),
            QFile::WriteOwner);
        // Sparse: costs no disk.
        QVERIFY(QFile::resize(env.writeFile("pictures/huge.png", {}), 256 * 1024 * 1024 + 1));
        QCOMPARE(::mkfifo(QFile::encodeName(env.path("pictures/fifo")).constData(), 0644), 0);
        if (locked.startsWith('@'))
            QFile::setPermissions(env.resolved(locked), QFile::ReadOwner | QFile::ExeOwner);
        const QStringList shareBefore = entries(share);
        QCOMPARE(describe(save(env, image), env), describe(outcome, env));
        QCOMPARE(TestEnvironment::readFile(env.paths().settingsFile), before);
        QCOMPARE(TestEnvironment::readFile(old), QByteArray("old"));
        QCOMPARE(entries(walls), QStringList{"wallpaper.png"});
        QCOMPARE(entries(share), shareBefore);
    }

    // Something a member of the group plants in the shared folder (see TestEnvironment::plant;
    // "full N": a full disk with N bytes left) before a save, as root or as another member.
    // The save ends at once; no file outside the folder changes, and a save that fails
    // changes nothing in it either.
    void plantedFiles_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<QString>("image");
        QTest::addColumn<bool>("asMember");
        QTest::addColumn<SaveOutcome>("outcome");
        const QString link = "settings.ini->@outside/sentinel";
        QTest::newRow("link at settings.ini") << link << White << false << SaveOutcome();
        QTest::newRow("link at settings.ini, another member saves")
            << link << White << true << SaveOutcome();
        QTest::newRow("hard link at settings.ini")
            << "settings.ini=>@outside/sentinel" << White << false << SaveOutcome();
        QTest::newRow("link at the lock")
            << "settings.ini.lock->@outside/sentinel" << White << false << SaveOutcome();
        QTest::newRow("fifo at the lock")
            << "fifo settings.ini.lock" << White << false << SaveOutcome();
        // Values in the notation for objects are never decoded.
        QTest::newRow("a list nested 60000 deep, another program's, kept")
            << "settings.ini=[Other]\nlist=@@Variant({\\0\\0\\0\\t\\0\\0\\0\\x1*60000})" << White
            << false << SaveOutcome();
        // The disk full before the save, and after the wallpaper is prepared.
        QTest::newRow("disk full")
            << "full 0" << White << false
            << failed(Result::WallpaperFailed, "@share/wallpaper.png", ENOSPC);
        QTest::newRow("disk full after the wallpaper")
            << "full 4096" << White << false
            << failed(Result::SettingsWriteFailed, "@share/settings.ini");
    }
    void plantedFiles()
    {
        QFETCH(QString, plant);
        QFETCH(QString, image);
        QFETCH(bool, asMember);
        QFETCH(SaveOutcome, outcome);
        AS_NOBODY_IF(asMember);
        TestEnvironment env;
        env.writeFile("outside/sentinel", "export PATH=/usr/bin\n");
        const QByteArray before = state(env.path("outside"));
        const auto unmount =
            qScopeGuard([&] { ::umount2(qPrintable(env.path("share")), MNT_DETACH); });
        if (plant.startsWith("full ") && !Unprivileged::isRoot())
            QSKIP("a file system of its own needs root");
        QVERIFY(plant.startsWith("full ") ? fillShare(env, plant.mid(5).toInt())
                                          : env.plant(env.resolved(plant)));
        const QByteArray shareBefore = state(env.path("share"));
        const QByteArray planted = TestEnvironment::readFile(env.paths().settingsFile);

        QElapsedTimer clock;
        clock.start();
        QCOMPARE(describe(save(env, image), env), describe(outcome, env));
        QVERIFY2(clock.elapsed() < 5000, "a planted file held the save up");
        QCOMPARE(state(env.path("outside")), before);
        if (outcome.result != Result::Saved) {
            QCOMPARE(state(env.path("share")), shareBefore);
            return;
        }
        // A save replaces whatever was planted with a regular file that the group may write,
        // and keeps the lines of other programs, but nothing from a file elsewhere.
        QCOMPARE(mode(env.paths().settingsFile), S_IFREG | 0664);
        const QByteArray saved = TestEnvironment::readFile(env.paths().settingsFile);
        QVERIFY(!saved.contains("PATH"));
        QVERIFY(!plant.contains("[Other]") || saved.contains(planted));
    }
};

QTEST_GUILESS_MAIN(TestSave)
#include "tst_save.moc"
