#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"
#include "mainwindow/SaveSettingsFlow.h"
#include "save/SaveJob.h"

#include <QtTest>
#include <QtWidgets>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

using Window = korvel::KorvelWindow;

template <typename Widget = QAbstractButton> Widget *child(QWidget *window, const char *name)
{
    return window->findChild<Widget *>(QLatin1String(name));
}

// Writes a small picture to `relative` below the test folder and returns its path.
QString makeImage(const TestEnvironment &env, const QString &relative)
{
    return env.writeFile(relative, TestEnvironment::readFile(KORVEL_TEST_DATA "/images/white.png"));
}

// In a table's row: "@data/" stands for tests/data/, "@@" for "@", any other "@" for the test
// folder.
void resolve(QStringList &row, const TestEnvironment &env)
{
    for (QString &field : row)
        field.replace("@@", "\1")
            .replace("@data/", KORVEL_TEST_DATA "/")
            .replace('@', env.dir() + '/')
            .replace('\1', '@');
}

// Everything the form shows, in one line: checked boxes, text, colour, size, position, image.
QString formState(QWidget *window)
{
    QStringList state;
    for (const char *name : {"cbUsername", "cbIPaddress", "cbNetmask", "cbGateway", "cbHostname",
                             "cbOver", "cbLogo", "radioButton", "radioButton_2", "radioButton_3"})
        if (child(window, name)->isChecked())
            state << QLatin1String(name);
    const auto *text = child<QTextEdit>(window, "textEdit");
    state << (text->isEnabled() ? "edit:" : "text:") + text->toPlainText();
    state << QStringLiteral("color:%1").arg(child<QComboBox>(window, "comboBox")->currentIndex());
    state << QStringLiteral("size:%1").arg(child<QSpinBox>(window, "spinBox")->value());
    state << "image:" + child<QLineEdit>(window, "lineBrowse")->text();
    return state.join(QLatin1Char(' '));
}

// Saves answering `answer`, then Ok; the boxes that showed, one line each: title, text, icon,
// buttons and whether `window` is their parent.
QStringList save(Window *window, QMessageBox::StandardButton answer = QMessageBox::Yes)
{
    ModalAnswerer answerer;
    answerer.answerBox(answer);
    answerer.answerBox(QMessageBox::Ok);
    window->saveSettings();
    QStringList shown;
    for (const ModalAnswerer::Seen &s : answerer.seen()) {
        const char *parent = s.hadParent ? s.parent == window ? "window" : "other" : "-";
        shown << QStringLiteral("%1|%2|%3|%4|%5|%6")
                     .arg(s.className, s.title, s.text, QString::number(s.icon),
                          QString::number(s.buttons), parent);
    }
    return shown;
}

const QString Question =
    QStringLiteral("QMessageBox|Сохранение параметров|Сохранить выбранные параметры?|4|%1|window")
        .arg(QMessageBox::Yes | QMessageBox::No);
QString box(const char *title, const QString &text, int icon = QMessageBox::Warning)
{
    return QStringLiteral("QMessageBox|%1|%2|%3|%4|-")
        .arg(title, text, QString::number(icon), QString::number(QMessageBox::Ok));
}
const QString Saved = box("Выполнено!", "Параметры сохранены!", QMessageBox::Information);

// The file's type and mode, as lstat() gives them.
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

const QString Example = QStringLiteral(KORVEL_TEST_DATA "/settings/saved-example.ini");

// "{TEXT*N}" in a planted text stands for TEXT N times.
QByteArray expanded(QString text)
{
    const QRegularExpressionMatch m = QRegularExpression("\\{(.*)\\*(\\d+)\\}").match(text);
    if (m.hasMatch())
        text.replace(m.capturedStart(), m.capturedLength(),
                     m.captured(1).repeated(m.captured(2).toInt()));
    return text.toUtf8();
}

// A small file system over share/, seen by this thread only (the forms are read before), with
// installed settings and wallpaper and a filler that leaves `free` bytes.
bool fillShare(TestEnvironment &env, int free)
{
    env.context();
    const QByteArray share = QFile::encodeName(env.path("share"));
    if (::unshare(CLONE_NEWNS) != 0 ||
        ::mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) ||
        ::mount("korvel-full", share.constData(), "tmpfs", 0, "size=1m") != 0)
        return false;
    env.writeFile("share/settings.ini", TestEnvironment::readFile(Example));
    makeImage(env, "share/wallpaper.png");
    struct statvfs fs = {};
    const int fd = ::open((share + "/.filler").constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    return ::statvfs(share.constData(), &fs) == 0 &&
           ::posix_fallocate(fd, 0, off_t(fs.f_bavail * fs.f_frsize) - free) == 0 &&
           ::close(fd) == 0;
}

} // namespace

// Loading the settings into the form and saving the form, also when saving
// fails, and the shared settings folder, where every member of the group may
// create, rename and delete any file.
class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void savesTheExampleAndReopens()
    {
        TestEnvironment env;
        const QString image = makeImage(env, "pictures/sea.png");
        const QString wallpaper = env.writeFile("share/wallpaper.png", "old");
        ::chmod(QFile::encodeName(wallpaper).constData(), 0600);
        auto window = env.makeWindow();
        for (const char *name :
             {"cbUsername", "cbIPaddress", "cbGateway", "cbHostname", "radioButton_3"})
            child(window.get(), name)->setChecked(true);
        child(window.get(), "cbOver")->click();
        child<QTextEdit>(window.get(), "textEdit")->setPlainText("Кабинет 12");
        child<QComboBox>(window.get(), "comboBox")->setCurrentIndex(1);
        child<QSpinBox>(window.get(), "spinBox")->setValue(20);
        child<QLineEdit>(window.get(), "lineBrowse")->setText(image);
        const mode_t umaskBefore = ::umask(077); // the wallpaper's mode does not depend on it
        QCOMPARE(save(window.get()), (QStringList{Question, Saved}));
        ::umask(umaskBefore);

        // Written at once, not left to the deferred write.
        QString written = QString::fromUtf8(TestEnvironment::readFile(env.paths().settingsFile));
        written.replace(wallpaper, "/usr/share/korvel/desktopinfo/wallpaper.png");
        written.replace(image, "/home/user/pictures/sea.png");
        QCOMPARE(written.split('\n'),
                 QString::fromUtf8(TestEnvironment::readFile(Example)).split('\n'));
        QCOMPARE(TestEnvironment::readFile(wallpaper), TestEnvironment::readFile(image));
        QCOMPARE(mode(wallpaper), S_IFREG | 0664);
        QCOMPARE(entries(env.path("share")).size(), 4); // forms, ini, png

        TestEnvironment other; // reads the file afresh
        other.paths().settingsFile = env.paths().settingsFile;
        QCOMPARE(formState(other.makeWindow().get()), formState(window.get()));
        // Reopened, the image's path from the file is not read: the installed copy is used again.
        other.paths().wallpaper = wallpaper;
        const QByteArray chosen = TestEnvironment::readFile(image);
        env.writeFile("pictures/sea.png",
                      TestEnvironment::readFile(KORVEL_TEST_DATA "/images/cut.png"));
        QCOMPARE(save(other.makeWindow().get()), (QStringList{Question, Saved}));
        QCOMPARE(TestEnvironment::readFile(wallpaper), chosen);
        env.writeFile("pictures/sea.png", chosen);

        // The installed wallpaper as its own source, spelt differently: kept, with mode 0664.
        ::chmod(QFile::encodeName(wallpaper).constData(), 0600);
        const QString self = env.path("share/../share/./wallpaper.png");
        child<QLineEdit>(window.get(), "lineBrowse")->setText(self);
        child(window.get(), "cbOver")->click();
        QCOMPARE(save(window.get()), (QStringList{Question, Saved}));
        QCOMPARE(TestEnvironment::readFile(wallpaper), TestEnvironment::readFile(image));
        QCOMPARE(mode(wallpaper), S_IFREG | 0664);
        written = QString::fromUtf8(TestEnvironment::readFile(env.paths().settingsFile));
        QVERIFY2(written.contains("\nOriginalImage=" + self + '\n'), qPrintable(written));
        QVERIFY2(written.contains("\nOverText=\n"), qPrintable(written));
    }

    // A save that fails, or is answered "no", changes nothing.
    void failedSaves_data() { TestEnvironment::addRows("settings/failed-saves.txt", 4); }
    void failedSaves()
    {
        AS_NOBODY_IF(true);
        QFETCH(QStringList, row);
        TestEnvironment env;
        resolve(row, env);
        const QString walls = env.path("walls"), share = env.path("share");
        env.paths().wallpaper = walls + "/wallpaper.png";
        const QString old = env.writeFile(
            row[2] == "in the way" ? "walls/wallpaper.png/old" : "walls/wallpaper.png", "old");
        const QByteArray before = TestEnvironment::readFile(Example);
        env.writeFile("share/settings.ini", before);
        QFile::setPermissions(makeImage(env, "pictures/secret.png"), QFile::WriteOwner);
        // Sparse: costs no disk.
        QVERIFY(QFile::resize(env.writeFile("pictures/huge.png", {}), 256 * 1024 * 1024 + 1));
        QCOMPARE(::mkfifo(QFile::encodeName(env.path("pictures/fifo")).constData(), 0644), 0);
        if (row[2].startsWith('/'))
            QFile::setPermissions(row[2], QFile::ReadOwner | QFile::ExeOwner);
        const QStringList shareBefore = entries(share);
        if (row[0] == "yes") { // the save job alone, given the path as the form gives it
            const auto outcome =
                korvel::runSave({row[1], {row[1]}, {}}, env.settings(), env.paths().wallpaper);
            QCOMPARE(korvel::saveFailureText(outcome, env.paths().settingsFile), row[3]);
        } else { // the window: the question, then the warning with its title, icon and parent
            auto window = env.makeWindow();
            child<QLineEdit>(window.get(), "lineBrowse")->setText(row[1]);
            QCOMPARE(save(window.get(), row[0] == "no" ? QMessageBox::No : QMessageBox::Yes),
                     row[3] == "-" ? QStringList{Question}
                                   : QStringList({Question, box("Ошибка!", row[3])}));
        }
        QCOMPARE(TestEnvironment::readFile(env.paths().settingsFile), before);
        QCOMPARE(TestEnvironment::readFile(old), QByteArray("old"));
        QCOMPARE(entries(walls), QStringList{"wallpaper.png"});
        QCOMPARE(entries(share), shareBefore);
    }

    void writesTextsAsTheSettingsLayer_data() { TestEnvironment::addRows("settings/texts.txt", 1); }
    void writesTextsAsTheSettingsLayer()
    {
        QFETCH(QStringList, row);
        TestEnvironment env;
        {
            QSettings layer(env.path("layer.ini"), QSettings::IniFormat);
            layer.setIniCodec("UTF-8");
            layer.setValue("Displaying/OverText", row[0]);
        }
        const QByteArray line = TestEnvironment::readFile(env.path("layer.ini")).split('\n')[1];
        korvel::DisplaySettings values;
        values.OverText = row[0];
        const QByteArray ours = korvel::SettingsFile::withValues({}, values);
        QVERIFY2(ours.contains('\n' + line + '\n'), ours.constData());
        QCOMPARE(korvel::readDisplaySettings(ours).values.OverText, row[0]);
    }

    void loadsTheForm_data() { TestEnvironment::addRows("settings/loads.txt", 3); }
    void loadsTheForm()
    {
        QFETCH(QStringList, row);
        TestEnvironment env;
        if (row[0] != "-")
            env.writeFile("share/settings.ini", row[0].toUtf8() + '\n');
        std::unique_ptr<Window> window;
        const QString printed = TestEnvironment::stderrOf([&] { window = env.makeWindow(); });
        QCOMPARE(formState(window.get()),
                 row[1].replace(QRegularExpression("@$"), "color:0 size:8 image:"));
        const QStringList keys = row[2].split('\n', Qt::SkipEmptyParts);
        QCOMPARE(printed.count('\n'), keys.size());
        for (const QString &key : keys)
            QVERIFY2(printed.contains(key), qPrintable(printed));
    }

    // Each case plants something in the shared folder as a member would, then
    // the window is built, saves or previews, as root or as another member
    // (nobody). Every step must end at once with the right message, and no
    // file outside the folder may change.
    void plantedFiles_data() { TestEnvironment::addRows("settings/planted.txt", 4); }
    void plantedFiles()
    {
        QFETCH(QStringList, row);
        AS_NOBODY_IF(row[3] == "yes");
        TestEnvironment env;
        resolve(row, env);
        const QString plant = row[0], action = row[1], shown = row[2];
        env.writeFile("outside/sentinel", "export PATH=/usr/bin\n");
        makeImage(env, "outside/secret.png");
        QFile::setPermissions(env.path("outside/secret.png"), QFile::ReadOwner);
        const QByteArray before = state(env.path("outside"));

        const QString name = plant.section(QRegularExpression("->|=>|=| "), 0, 0);
        const auto unmount =
            qScopeGuard([&] { ::umount2(qPrintable(env.path("share")), MNT_DETACH); });
        if (plant.contains("->"))
            QVERIFY(QFile::link(plant.section("->", 1), env.path("share/" + name)));
        else if (plant.contains("=>"))
            QCOMPARE(
                ::link(qPrintable(plant.section("=>", 1)), qPrintable(env.path("share/" + name))),
                0);
        else if (plant.startsWith("fifo "))
            QCOMPARE(::mkfifo(qPrintable(env.path("share/" + plant.mid(5))), 0666), 0);
        else if (plant.startsWith("full ") && !Unprivileged::isRoot())
            QSKIP("a file system of its own needs root");
        else if (plant.startsWith("full "))
            QVERIFY(fillShare(env, plant.mid(5).toInt()));
        else if (plant.contains('='))
            env.writeFile("share/" + name, expanded(plant.section('=', 1)));
        const QByteArray shareBefore = state(env.path("share"));

        QElapsedTimer clock;
        clock.start();
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        std::unique_ptr<Window> window;
        const QString printed = TestEnvironment::stderrOf([&] { window = env.makeWindow(); });
        if (action.contains(' ')) // else the path that the settings file gave
            child<QLineEdit>(window.get(), "lineBrowse")->setText(action.section(' ', 1));
        if (action.startsWith("save"))
            window->saveSettings();
        else if (action.startsWith("preview"))
            window->preview();
        QVERIFY2(clock.elapsed() < 5000, "a planted file held the program up");

        const QString last = answerer.seen().isEmpty() ? QString() : answerer.seen().last().text;
        QVERIFY2((action == "load" ? printed : last).contains(shown), qPrintable(printed + last));
        QVERIFY(action == "load" || last.startsWith(shown));
        QCOMPARE(state(env.path("outside")), before);
        QCOMPARE(entries(env.paths().tempDir), QStringList());
        if (shown != "Параметры сохранены!") {
            QCOMPARE(state(env.path("share")), shareBefore);
            return;
        }
        // A save replaces whatever was planted with a regular file that the group may write,
        // and keeps the lines of other programs, but nothing from a file elsewhere.
        QCOMPARE(mode(env.paths().settingsFile), S_IFREG | 0664);
        const QByteArray saved = TestEnvironment::readFile(env.paths().settingsFile);
        QVERIFY(!saved.contains("PATH"));
        QVERIFY(!plant.contains("[Other]") || saved.contains(expanded(plant.section('=', 1))));
        // Markup is kept as the text it is, through loading and saving.
        const QString overText = plant.section("OverText=", 1);
        QCOMPARE(child<QTextEdit>(window.get(), "textEdit")->toPlainText(), overText);
        QCOMPARE(env.settings().readDisplaySettings().values.OverText, overText);
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
