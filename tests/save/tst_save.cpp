#include "helpers/SaveRows.h"
#include "helpers/Unprivileged.h"
#include "settings/SettingsFile.h"

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

using namespace korvel;

namespace {

const QString Example = QStringLiteral(KORVEL_TEST_DATA "/settings/saved-example.ini");
const QString White = QStringLiteral(KORVEL_TEST_DATA "/images/white.png");
const QString Halves = QStringLiteral(KORVEL_TEST_DATA "/images/halves.png");

// The outcome in one line.
QString describe(const SaveOutcome &o)
{
    return QStringLiteral("%1 %2 %3 %4 ")
               .arg(int(o.result))
               .arg(int(o.fileProblem))
               .arg(int(o.imageRefusal))
               .arg(o.writeError) +
           o.path;
}

// Name, owner, mode and content of every file below `folder`.
QByteArray state(const QString &folder)
{
    QByteArray text;
    for (const QString &name : TestEnvironment::entries(folder)) {
        const QString path = folder + '/' + name;
        const int mode = TestEnvironment::mode(path);
        const QString owner = QString::number(QFileInfo(path).ownerId());
        text += QStringLiteral("%1 %2 %3\n").arg(path, owner).arg(mode).toUtf8();
        text += S_ISREG(mode) ? TestEnvironment::readFile(path) : S_ISDIR(mode) ? state(path) : "";
    }
    return text;
}

// A small file system over share/, seen by this thread only, with the example settings and a
// wallpaper and a filler that leaves `free` bytes.
bool fillShare(TestEnvironment &env, int free)
{
    const QByteArray share = QFile::encodeName(env.path("share"));
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        ::mount("korvel-full", share.constData(), "tmpfs", 0, "size=1m") != 0)
        return false;
    env.writeFile("share/settings.ini", TestEnvironment::readFile(Example));
    env.writeFile("share/wallpaper.png", TestEnvironment::readFile(White));
    struct statvfs fs = {};
    const int fd = ::open((share + "/.filler").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    return ::statvfs(share.constData(), &fs) == 0 &&
           ::posix_fallocate(fd, 0, off_t(fs.f_bavail * fs.f_frsize) - free) == 0 &&
           ::close(fd) == 0;
}

} // namespace

// The save job: what it refuses, that a save that fails changes nothing, and
// what a member of the group may have planted in the shared folder.
class TestSave : public QObject
{
    Q_OBJECT

private slots:
    void saves_data() { addSaveRows(); }
    void saves()
    {
        QFETCH(QString, plant);
        QFETCH(QString, image);
        QFETCH(QString, locked);
        QFETCH(bool, asMember);
        QFETCH(SaveOutcome, outcome);
        AS_NOBODY_IF(asMember);
        TestEnvironment env;
        const QString walls = env.path("walls"), share = env.path("share");
        const bool full = plant.startsWith("full ");
        env.paths().wallpaper = (full ? share : walls) + "/wallpaper.png";
        // The old wallpaper, of another mode (or a folder in the way).
        QFile::setPermissions(env.writeFile(locked == "in the way" ? "walls/wallpaper.png/old"
                                                                   : "walls/wallpaper.png",
                                            TestEnvironment::readFile(Halves)),
                              QFile::ReadOwner | QFile::WriteOwner);
        env.writeFile("outside/sentinel", "export PATH=/usr/bin\n");
        QFile::setPermissions(
            env.writeFile("pictures/secret.png", TestEnvironment::readFile(White)),
            QFile::WriteOwner);
        // Sparse: costs no disk.
        QVERIFY(QFile::resize(env.writeFile("pictures/huge.png", {}), 256 * 1024 * 1024 + 1));
        QCOMPARE(::mkfifo(QFile::encodeName(env.path("pictures/fifo")).constData(), 0644), 0);
        const auto unmount = qScopeGuard([&] { ::umount2(qPrintable(share), MNT_DETACH); });
        if (full && !Unprivileged::isRoot())
            QSKIP("a file system of its own needs root");
        if (plant.isEmpty())
            env.writeFile("share/settings.ini", TestEnvironment::readFile(Example));
        QVERIFY(plant.isEmpty() ||
                (full ? fillShare(env, plant.mid(5).toInt()) : env.plant(env.resolved(plant))));
        if (locked.startsWith('@'))
            QFile::setPermissions(env.resolved(locked), QFile::ReadOwner | QFile::ExeOwner);
        const auto folders = [&] { return state(share) + state(walls); };
        const QByteArray before = folders(), outside = state(env.path("outside")),
                         planted = TestEnvironment::readFile(env.paths().settingsFile);

        QElapsedTimer clock;
        clock.start();
        const QString path = env.resolved(image);
        const bool saved = outcome.result == SaveOutcome::Result::Saved;
        const QByteArray chosen = saved ? TestEnvironment::readFile(path) : QByteArray();
        outcome.path = env.resolved(outcome.path);
        QCOMPARE(describe(runSave({path, {path}, {}}, SettingsFile(env.paths().settingsFile),
                                  env.paths().wallpaper)),
                 describe(outcome));
        QVERIFY2(clock.elapsed() < 5000, "a planted file held the save up");
        QCOMPARE(state(env.path("outside")), outside);
        if (!saved) {
            QCOMPARE(folders(), before);
            return;
        }
        for (const QString &file : {env.paths().settingsFile, env.paths().wallpaper})
            QCOMPARE(TestEnvironment::mode(file), S_IFREG | 0664);
        QCOMPARE(TestEnvironment::readFile(env.paths().wallpaper), chosen);
        const QByteArray written = TestEnvironment::readFile(env.paths().settingsFile);
        QVERIFY(!written.contains("PATH"));
        QVERIFY(!plant.contains("[Other]") || written.contains(planted));
    }
};

QTEST_GUILESS_MAIN(TestSave)
#include "tst_save.moc"
