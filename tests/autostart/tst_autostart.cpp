#include "autostart/AutostartControl.h"
#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString Entry = QStringLiteral("autostart/korvel-desktopinfo.desktop");

// The one box shown; a '*' in `text` stands for any text. Critical boxes have no parent.
void verifyBox(const QList<ModalAnswerer::Seen> &seen, const QString &text, QWidget *parent)
{
    QCOMPARE(seen.size(), 1);
    const ModalAnswerer::Seen &box = seen[0];
    QCOMPARE(box.icon, parent ? QMessageBox::Information : QMessageBox::Critical);
    QCOMPARE(box.title, parent ? QStringLiteral("Выполнено") : QStringLiteral("Ошибка"));
    const int star = text.indexOf(QLatin1Char('*'));
    QCOMPARE(box.text.left(star), text.left(star));
    QVERIFY2(box.text.endsWith(text.mid(star + 1)), qPrintable(box.text));
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.parent.data(), parent);
}

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void readingTheEntry_data()
    {
        QTest::addColumn<QString>("entry");      // relative to the test folder, or absolute
        QTest::addColumn<QByteArray>("content"); // of the entry in the usual place
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("after");
        QTest::addColumn<QString>("text"); // of the critical box, %1: the entry; null: none
        const QString failed = QStringLiteral("Не удалось прочитать файл\n%1\n");
        const QString special = failed + "По этому пути находится не обычный файл";
        auto reads = [](const char *tag, const char *content, bool before, bool after) {
            QTest::newRow(tag) << Entry << QByteArray(content) << before << after << QString();
        };
        // The box is left alone: as the window's default or the last good reading set it.
        auto fails = [](const char *tag, const QString &entry, const QString &text) {
            QTest::newRow(tag) << entry << QByteArray("Hidden=true\n") << true << true << text;
        };
        reads("later line decides, off", "Hidden=false\nHidden=true\n", true, false);
        reads("later line decides, on", "Hidden=true\nX=1\nHidden=false\nHidden=fals\n", false,
              true);
        reads("CR LF", "A=1\r\nHidden=false\r\n", false, true);
        reads("lone CR", "Hidden=true\rA=1", true, false);
        reads("last line without line end", "Hidden=false\nHidden=true", false, true);
        reads("blanks", "Hidden=false \nHidden = false\n", false, false);
        reads("no match keeps checked", "Hidden=TRUE\n", true, true);
        reads("empty keeps unchecked", "", false, false);
        fails("missing", "autostart/none.desktop",
              "Не найден файл\n%1\nОн удален или не существует");
        fails("unreadable", Entry, "Файл %1\n не доступен для чтения");
        fails("directory", "autostart", failed + "По этому пути находится каталог, а не файл");
        fails("FIFO", "fifo.desktop", special);
        fails("endless device", "/dev/zero", special);
        fails("too large", "large.desktop", failed + "Файл слишком велик для файла автозапуска");
        fails("input/output error", "/proc/self/mem", failed + "Ошибка чтения: Input/output error");
        fails("not UTF-8", "bad.desktop",
              failed + "Содержимое файла не является текстом в кодировке UTF-8");
    }

    void readingTheEntry()
    {
        QFETCH(QString, entry);
        QFETCH(QByteArray, content);
        QFETCH(bool, before);
        QFETCH(QString, text);
        const bool unreadable = QTest::currentDataTag() == QByteArray("unreadable");
        if (unreadable && Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction(), QTest::currentDataTag()));
            return;
        }
        TestEnvironment env;
        ::chmod(qPrintable(env.writeFile(Entry, content)), unreadable ? 0200 : 0400);
        env.writeFile(QStringLiteral("bad.desktop"), "Hidden=false\n\xc3\x28\n");
        env.writeFile(QStringLiteral("large.desktop"), QByteArray(2 * 1024 * 1024, '#'));
        QVERIFY(::mkfifo(qPrintable(env.path(QStringLiteral("fifo.desktop"))), 0644) == 0);
        const QString path = QDir(env.dir()).absoluteFilePath(entry);
        QCheckBox box;
        box.setChecked(before);
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        korvel::loadAutostartState(&box, path);
        QTEST(box.isChecked(), "after");
        QVERIFY(box.isEnabled());
        QCOMPARE(answerer.seen().size(), text.isNull() ? 0 : 1);
        if (!text.isNull())
            verifyBox(answerer.seen(), text.arg(path), nullptr);
    }

    void switchingTheEntry_data()
    {
        QTest::addColumn<QByteArray>("content"); // null: no entry
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QByteArray>("shell"); // script run in place of /bin/bash; "-": none there
        QTest::addColumn<QByteArray>("expected");
        QTest::addColumn<QString>("failure"); // null on success; %1: the entry, %2: its folder
        const QByteArray installed =
            TestEnvironment::readFile(TestEnvironment().paths().autostartEntry);
        auto passes = [](const char *tag, const QByteArray &content, bool enable, const char *shell,
                         const QByteArray &expected) {
            QTest::newRow(tag) << content << enable << QByteArray(shell) << expected << QString();
        };
        auto fails = [](const char *tag, const char *shell, const QString &text,
                        const QByteArray &content = "Hidden=true\n") {
            QTest::newRow(tag) << content << true << QByteArray(shell) << content
                               << "Произошла ошибка:\n" + text + "\nНеобходимо повысить права";
        };
        passes("installed entry, off and on",
               QByteArray(installed).replace("Hidden=true", "Hidden=false"), false, "", installed);
        passes("inside lines, first in each",
               "X=Hidden=true!\nHidden=trueHidden=true \nHidden = true\n", true, "",
               "X=Hidden=false!\nHidden=falseHidden=true \nHidden = true\n");
        passes("nothing to replace", "A=1\n", true, "", "A=1\n");
        passes("warning on the error output", "Hidden=true\n", true,
               "echo 'bash: warning: setlocale' >&2\nexec /bin/bash \"$@\"\n", "Hidden=false\n");
        fails("missing entry", "", "can't read %1: No such file or directory\n", QByteArray());
        fails("no write access", "", "couldn't open temporary file %2/sed*: Permission denied\n");
        fails("missing shell", "-", "execvp: No such file or directory");
        fails("failure without complaint", "exit 3\n", "Команда завершилась с кодом 3");
        fails("killed", "kill -9 $$\n", "Команда завершилась аварийно");
        fails("complaint of five characters", "printf 'sed: ' >&2\nexit 1\n", "");
        fails("complaint not in UTF-8, characters dropped not bytes",
              "printf '\\360\\237\\230\\200\\377bcdef\\377\\n' >&2\nexit 4\n",
              QStringLiteral("ef\uFFFD\n"));
    }

    void switchingTheEntry()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, enable);
        QFETCH(QByteArray, shell);
        QFETCH(QByteArray, expected);
        QFETCH(QString, failure);
        const bool locked = QTest::currentDataTag() == QByteArray("no write access");
        if (locked && Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction(), QTest::currentDataTag()));
            return;
        }
        TestEnvironment env;
        // A name that the shell would split or run, were it not quoted.
        const QString entry = QStringLiteral("autostart/it's a $(touch pwned) -e;file.desktop");
        const QString path = content.isNull() ? env.path(entry) : env.writeFile(entry, content);
        const QString folder = QFileInfo(env.paths().autostartEntry = path).path();
        ::chmod(qPrintable(folder), locked ? 0500 : 0700);
        if (!shell.isEmpty())
            env.paths().shell =
                shell == "-" ? env.path(QStringLiteral("bin/none"))
                             : env.writeFile(QStringLiteral("bin/shell"), "#!/bin/bash\n" + shell);
        ::chmod(qPrintable(env.path(QStringLiteral("bin/shell"))), 0700);
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok); // the missing entry's box at start
        auto window = env.makeWindow();
        answerer.clear();
        auto *box = window->findChild<QCheckBox *>(QStringLiteral("cbAutostart"));
        QCOMPARE(box->isChecked(), !enable); // as read from the entry
        const bool ok = failure.isNull();
        failure.replace(QStringLiteral("%1"), path).replace(QStringLiteral("%2"), folder);
        // A second click, when the first one changed the entry, must give back its content.
        for (const bool on : {enable, !enable}) {
            answerer.answerBox(QMessageBox::Ok);
            box->click();
            const QString done =
                on ? QStringLiteral("Автостар включен!") : QStringLiteral("Автостар отключен!");
            verifyBox(answerer.seen(), ok ? done : failure, ok ? window.get() : nullptr);
            // After a failure the box is set back once, without running the switch again.
            QCOMPARE(box->isChecked(), ok == on);
            QCOMPARE(TestEnvironment::readFile(path), on == enable ? expected : content);
            QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("pwned"))));
            if (expected == content)
                break;
            answerer.clear();
        }
        ::chmod(qPrintable(folder), 0700);
    }
};

QTEST_MAIN(TestAutostart)
#include "tst_autostart.moc"
