#include "autostart/AutostartCommand.h"
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

const QString Head = QStringLiteral("Произошла ошибка:\n");
const QString Tail = QStringLiteral("\nНеобходимо повысить права");

QCheckBox *autostartBox(QWidget *window)
{
    return window->findChild<QCheckBox *>(QStringLiteral("cbAutostart"));
}

// A stand-in for the shell: an executable script in the test folder.
QString writeShell(const TestEnvironment &env, const QByteArray &script)
{
    const QString path = env.writeFile(QStringLiteral("bin/shell"), "#!/bin/bash\n" + script);
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    return path;
}

void verifyCritical(const QList<ModalAnswerer::Seen> &seen, const QString &text)
{
    QCOMPARE(seen.size(), 1);
    QCOMPARE(seen[0].className, QStringLiteral("QMessageBox"));
    QCOMPARE(seen[0].icon, QMessageBox::Critical);
    QCOMPARE(seen[0].title, QStringLiteral("Ошибка"));
    QCOMPARE(seen[0].text, text);
    QCOMPARE(seen[0].buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QVERIFY(!seen[0].hadParent);
    QVERIFY(seen[0].answered);
}

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void readingDecidesTheCheckBox_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("before");
        QTest::addColumn<bool>("after");
        QTest::newRow("on") << QByteArray("[Desktop Entry]\nHidden=false\n") << false << true;
        QTest::newRow("off") << QByteArray("Hidden=true\nName=x\n") << true << false;
        QTest::newRow("later line decides, off")
            << QByteArray("Hidden=false\nHidden=true\n") << true << false;
        QTest::newRow("later line decides, on")
            << QByteArray("Hidden=true\nX=1\nHidden=false\nHidden=fals\n") << false << true;
        QTest::newRow("CR LF") << QByteArray("A=1\r\nHidden=false\r\n") << false << true;
        QTest::newRow("lone CR") << QByteArray("Hidden=true\rA=1") << true << false;
        QTest::newRow("last line without line end")
            << QByteArray("Hidden=false\nHidden=true") << false << true;
        QTest::newRow("blanks") << QByteArray("Hidden=false \nHidden = false\n") << false << false;
        QTest::newRow("no match keeps checked") << QByteArray("Hidden=TRUE\n") << true << true;
        QTest::newRow("empty keeps unchecked") << QByteArray() << false << false;
    }

    void readingDecidesTheCheckBox()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, before);
        QFETCH(bool, after);
        TestEnvironment env;
        env.writeFile(QStringLiteral("autostart/korvel-desktopinfo.desktop"), content);
        QCheckBox box;
        box.setChecked(before);
        ModalAnswerer answerer;
        korvel::loadAutostartState(&box, env.paths().autostartEntry);
        QCOMPARE(box.isChecked(), after);
        QVERIFY(answerer.seen().isEmpty());
    }

    void readingFailuresAreReportedAndTheWindowOpens_data()
    {
        QTest::addColumn<QString>("entry"); // relative to the test folder, or absolute
        QTest::addColumn<QString>("text");  // %1: the entry's full path
        QTest::newRow("missing") << "autostart/none.desktop"
                                 << "Не найден файл\n%1\nОн удален или не существует";
        QTest::newRow("directory") << "autostart"
                                   << "Не удалось прочитать файл\n%1\n"
                                      "По этому пути находится каталог, а не файл";
        QTest::newRow("FIFO") << "fifo.desktop"
                              << "Не удалось прочитать файл\n%1\n"
                                 "По этому пути находится не обычный файл";
        QTest::newRow("endless device") << "/dev/zero"
                                        << "Не удалось прочитать файл\n%1\n"
                                           "По этому пути находится не обычный файл";
        QTest::newRow("too large") << "large.desktop"
                                   << "Не удалось прочитать файл\n%1\n"
                                      "Файл слишком велик для файла автозапуска";
        QTest::newRow("input/output error")
            << "/proc/self/mem"
            << "Не удалось прочитать файл\n%1\nОшибка чтения: Input/output error";
        QTest::newRow("not UTF-8") << "bad.desktop"
                                   << "Не удалось прочитать файл\n%1\nСодержимое файла не является "
                                      "текстом в кодировке UTF-8";
    }

    void readingFailuresAreReportedAndTheWindowOpens()
    {
        QFETCH(QString, entry);
        QFETCH(QString, text);
        TestEnvironment env;
        env.writeFile(QStringLiteral("bad.desktop"), "Hidden=false\n\xc3\x28\n");
        env.writeFile(QStringLiteral("large.desktop"), QByteArray(2 * 1024 * 1024, '#'));
        QVERIFY(::mkfifo(QFile::encodeName(env.path(QStringLiteral("fifo.desktop"))).constData(),
                         0644) == 0);
        env.paths().autostartEntry = QDir(env.dir()).absoluteFilePath(entry);
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        auto window = env.makeWindow();
        verifyCritical(answerer.seen(), text.arg(env.paths().autostartEntry));
        QVERIFY(!autostartBox(window.get())->isChecked());
        QVERIFY(autostartBox(window.get())->isEnabled());
    }

    void unreadableEntryIsReported()
    {
        if (Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction()));
            return;
        }
        TestEnvironment env;
        QVERIFY(QFile::setPermissions(env.paths().autostartEntry, QFile::WriteOwner));
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        auto window = env.makeWindow();
        verifyCritical(answerer.seen(),
                       "Файл " + env.paths().autostartEntry + "\n не доступен для чтения");
    }

    void commandLineForTheInstalledEntry()
    {
        const QString entry = korvel::Paths::installed().autostartEntry;
        QCOMPARE(
            korvel::autostartCommand(true, entry),
            "sed -i s/Hidden=true/Hidden=false/ /etc/xdg/autostart/korvel-desktopinfo.desktop");
        QCOMPARE(
            korvel::autostartCommand(false, entry),
            "sed -i s/Hidden=false/Hidden=true/ /etc/xdg/autostart/korvel-desktopinfo.desktop");
    }

    void switchingEditsTheEntry_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("enable");
        QTest::addColumn<QByteArray>("shell"); // script run in place of /bin/bash, if any
        QTest::addColumn<QByteArray>("expected");
        const QString plain = QStringLiteral("autostart/korvel-desktopinfo.desktop");
        QTest::newRow("on") << plain << QByteArray("A=1\nHidden=true\n") << true << QByteArray()
                            << QByteArray("A=1\nHidden=false\n");
        QTest::newRow("inside lines, first in each")
            << plain << QByteArray("X=Hidden=true!\nHidden=trueHidden=true \nHidden = true\n")
            << true << QByteArray()
            << QByteArray("X=Hidden=false!\nHidden=falseHidden=true \nHidden = true\n");
        QTest::newRow("nothing to replace") << plain << QByteArray("Hidden=true\n") << false
                                            << QByteArray() << QByteArray("Hidden=true\n");
        QTest::newRow("path the shell would split or run")
            << "autostart/it's a $(touch pwned) -e;file.desktop" << QByteArray("Hidden=false\n")
            << false << QByteArray() << QByteArray("Hidden=true\n");
        QTest::newRow("warning on the error output")
            << plain << QByteArray("Hidden=true\n") << true
            << QByteArray("echo 'bash: warning: setlocale: LC_ALL: cannot change locale' >&2\n"
                          "exec /bin/bash \"$@\"\n")
            << QByteArray("Hidden=false\n");
    }

    void switchingEditsTheEntry()
    {
        QFETCH(QString, entry);
        QFETCH(QByteArray, content);
        QFETCH(bool, enable);
        QFETCH(QByteArray, shell);
        QFETCH(QByteArray, expected);
        TestEnvironment env;
        env.paths().autostartEntry = env.writeFile(entry, content);
        if (!shell.isEmpty())
            env.paths().shell = writeShell(env, shell);
        auto window = env.makeWindow();
        QCheckBox *box = autostartBox(window.get());
        box->setChecked(!enable);

        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        box->click();
        QCOMPARE(TestEnvironment::readFile(env.paths().autostartEntry), expected);
        QCOMPARE(box->isChecked(), enable);
        QCOMPARE(answerer.seen().size(), 1);
        const ModalAnswerer::Seen &seen = answerer.seen()[0];
        QCOMPARE(seen.icon, QMessageBox::Information);
        QCOMPARE(seen.title, QStringLiteral("Выполнено"));
        QCOMPARE(seen.text, enable ? QStringLiteral("Автостар включен!")
                                   : QStringLiteral("Автостар отключен!"));
        QCOMPARE(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(seen.parent.data(), window.get());
        QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("pwned"))));
    }

    void offThenOnGivesBackTheSameContent()
    {
        TestEnvironment env;
        QByteArray content = TestEnvironment::readFile(env.paths().autostartEntry);
        content.replace("Hidden=true", "Hidden=false");
        env.writeFile(QStringLiteral("autostart/korvel-desktopinfo.desktop"), content);
        auto window = env.makeWindow();
        QCheckBox *box = autostartBox(window.get());
        QVERIFY(box->isChecked());

        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        answerer.answerBox(QMessageBox::Ok);
        box->click();
        QVERIFY(TestEnvironment::readFile(env.paths().autostartEntry).endsWith("\nHidden=true\n"));
        box->click();
        QCOMPARE(TestEnvironment::readFile(env.paths().autostartEntry), content);
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen()[0].text, QStringLiteral("Автостар отключен!"));
        QCOMPARE(answerer.seen()[1].text, QStringLiteral("Автостар включен!"));
    }

    void switchingFailuresAreReportedAndUndone_data()
    {
        QTest::addColumn<QByteArray>("shell"); // empty: /bin/bash; "-": a missing shell
        QTest::addColumn<bool>("entryExists");
        QTest::addColumn<QString>("middle"); // %1: the entry's path
        QTest::newRow("missing entry")
            << QByteArray() << false << "can't read %1: No such file or directory\n";
        QTest::newRow("missing shell")
            << QByteArray("-") << true << "execvp: No such file or directory";
        QTest::newRow("failure without complaint")
            << QByteArray("exit 3\n") << true << "Команда завершилась с кодом 3";
        QTest::newRow("killed") << QByteArray("kill -9 $$\n") << true
                                << "Команда завершилась аварийно";
        QTest::newRow("complaint of five characters")
            << QByteArray("printf 'sed: ' >&2\nexit 1\n") << true << "";
        QTest::newRow("complaint not in UTF-8, characters dropped not bytes")
            << QByteArray("printf '\\360\\237\\230\\200\\377bcdef\\377\\n' >&2\nexit 4\n") << true
            << QStringLiteral("ef\uFFFD\n");
    }

    void switchingFailuresAreReportedAndUndone()
    {
        QFETCH(QByteArray, shell);
        QFETCH(bool, entryExists);
        QFETCH(QString, middle);
        TestEnvironment env;
        const QByteArray content = TestEnvironment::readFile(env.paths().autostartEntry);
        if (!entryExists)
            QFile::remove(env.paths().autostartEntry);
        if (shell == "-")
            env.paths().shell = env.path(QStringLiteral("bin/bash"));
        else if (!shell.isEmpty())
            env.paths().shell = writeShell(env, shell);
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        auto window = env.makeWindow();
        answerer.clear();
        QCheckBox *box = autostartBox(window.get());
        QVERIFY(!box->isChecked());

        answerer.answerBox(QMessageBox::Ok);
        box->click();
        middle.replace(QStringLiteral("%1"), env.paths().autostartEntry);
        verifyCritical(answerer.seen(), Head + middle + Tail);
        QVERIFY(!box->isChecked());
        if (entryExists)
            QCOMPARE(TestEnvironment::readFile(env.paths().autostartEntry), content);
    }

    void switchingWithoutWriteAccessIsUndoneOnce()
    {
        if (Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction()));
            return;
        }
        TestEnvironment env;
        const QString folder = env.path(QStringLiteral("autostart"));
        QVERIFY(QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner));
        auto window = env.makeWindow();
        QCheckBox *box = autostartBox(window.get());
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        box->click();
        // Setting the box back must not run the handler again: that would show a second box.
        QCOMPARE(answerer.seen().size(), 1);
        const QString text = answerer.seen()[0].text;
        QVERIFY2(text.startsWith(Head + "couldn't open temporary file " + folder + "/sed"),
                 qPrintable(text));
        QVERIFY2(text.endsWith(": Permission denied\n" + Tail), qPrintable(text));
        QVERIFY(!box->isChecked());
        QVERIFY(TestEnvironment::readFile(env.paths().autostartEntry).endsWith("\nHidden=true\n"));
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_MAIN(TestAutostart)
#include "tst_autostart.moc"
