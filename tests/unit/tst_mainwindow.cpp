#include "app/StartupError.h"
#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void rejectsABrokenForm_data()
    {
        QTest::addColumn<QByteArray>(
            "from");                        // replaced in the installed form; empty: the whole file
        QTest::addColumn<QByteArray>("to"); // "-": no file at all
        QTest::addColumn<QString>("named");
        QTest::newRow("missing button")
            << QByteArray("name=\"pbSave\"") << QByteArray("name=\"pbStore\"") << "\"pbSave\"";
        QTest::newRow("missing line edit") << QByteArray("name=\"lineBrowse\"")
                                           << QByteArray("name=\"linePath\"") << "\"lineBrowse\"";
        QTest::newRow("spin box of another class")
            << QByteArray("class=\"QSpinBox\"") << QByteArray("class=\"QDoubleSpinBox\"")
            << "\"spinBox\" is a QDoubleSpinBox";
        QTest::newRow("check box that is a radio button")
            << QByteArray("class=\"QCheckBox\" name=\"cbAutostart\"")
            << QByteArray("class=\"QRadioButton\" name=\"cbAutostart\"")
            << "\"cbAutostart\" is a QRadioButton";
        QTest::newRow("missing file")
            << QByteArray() << QByteArray("-") << "cannot use the form file";
        // Only root or this user may have written a form: it can call the window's slots.
        QTest::newRow("group may write") << QByteArray() << QByteArray("@0664") << "mode 0664";
        QTest::newRow("others may write") << QByteArray() << QByteArray("@0646") << "mode 0646";
        QTest::newRow("another user's") << QByteArray() << QByteArray("@owner") << "user id 65534";
        QTest::newRow("empty") << QByteArray() << QByteArray("") << "empty";
        QTest::newRow("not XML") << QByteArray() << QByteArray("<ui><widget class=\"QMainWindow\">")
                                 << "not well-formed";
        QTest::newRow("not a form") << QByteArray() << QByteArray("<html/>") << "<html>";
        QTest::newRow("no widget")
            << QByteArray() << QByteArray("<ui version=\"4.0\"/>") << "no top-level widget";
        QTest::newRow("another top-level class")
            << QByteArray()
            << QByteArray("<ui version=\"4.0\"><widget class=\"QDialog\" name=\"D\"/></ui>")
            << "class QDialog";
    }

    void rejectsABrokenForm()
    {
        QFETCH(QByteArray, from);
        QFETCH(QByteArray, to);
        QFETCH(QString, named);
        TestEnvironment env;
        QByteArray form = TestEnvironment::readFile(env.paths().mainForm);
        QVERIFY(form.contains(from));
        env.writeFile(QStringLiteral("share/korvelDesktopinfoGui.xml"),
                      from.isEmpty() ? to : form.replace(from, to));
        if (to == "-")
            env.paths().mainForm = env.path(QStringLiteral("none.xml"));
        const QByteArray path = QFile::encodeName(env.paths().mainForm);
        if (to.startsWith('@')) {
            QFile::copy(QStringLiteral(KORVEL_SOURCE_DIR "/forms/korvelDesktopinfoGui.xml"),
                        env.paths().mainForm + ".new");
            QCOMPARE(::rename(qPrintable(env.paths().mainForm + ".new"), path.constData()), 0);
        }
        if (to == "@owner" && !Unprivileged::isRoot())
            QSKIP("only root can give a file away");
        if (to == "@owner")
            QCOMPARE(::chown(path.constData(), Unprivileged::Uid, Unprivileged::Gid), 0);
        if (to.startsWith("@0"))
            QCOMPARE(::chmod(path.constData(), mode_t(to.mid(1).toInt(nullptr, 8))), 0);
        try {
            env.makeWindow();
            QFAIL("the window was built");
        } catch (const korvel::StartupError &error) {
            const QString what = QString::fromUtf8(error.what());
            QVERIFY2(what.contains(named) && what.contains(env.paths().mainForm), error.what());
        }
    }

    // One window through its life: the over check box, the browse button, then the exit button.
    void windowReactsToItsButtons()
    {
        TestEnvironment env;
        const QString image = env.writeFile(QStringLiteral("pictures/sea.png"), "x");
        auto window = env.makeWindow();
        QCOMPARE(window->size(), QSize(560, 600));
        QVERIFY(window->findChild<QRadioButton *>(QStringLiteral("radioButton"))->isChecked());
        QVERIFY(!window->isVisible());
        window->show();
        auto *over = window->findChild<QCheckBox *>(QStringLiteral("cbOver"));
        auto *text = window->findChild<QTextEdit *>(QStringLiteral("textEdit"));
        QVERIFY(!over->isChecked() && !text->isEnabled());
        QTest::mouseClick(over, Qt::LeftButton, {}, QPoint(5, over->height() / 2));
        QVERIFY(over->isChecked() && text->isEnabled());
        text->setPlainText(QStringLiteral("Кабинет 12"));
        over->click();
        QVERIFY(!text->isEnabled());
        QCOMPARE(text->toPlainText(), QStringLiteral("Кабинет 12"));
        over->setChecked(true); // set by the program, not the user: no handler runs
        QVERIFY(!text->isEnabled());
        over->setTristate(true);
        over->setCheckState(Qt::Unchecked);
        over->click(); // unchecked -> partially checked
        QCOMPARE(over->checkState(), Qt::PartiallyChecked);
        QVERIFY(text->isEnabled());

        auto *line = window->findChild<QLineEdit *>(QStringLiteral("lineBrowse"));
        auto *browse = window->findChild<QPushButton *>(QStringLiteral("pbBrowse"));
        ModalAnswerer answerer;
        answerer.chooseFile(image);
        answerer.chooseFile(QString());
        browse->click();
        QCOMPARE(line->text(), image);
        browse->click();
        QCOMPARE(line->text(), QString());
        QCOMPARE(answerer.seen().size(), 2);
        for (const ModalAnswerer::Seen &dialog : answerer.seen()) {
            QCOMPARE(dialog.className, QStringLiteral("QFileDialog"));
            QCOMPARE(dialog.title, QStringLiteral("Выбрать файл"));
            QCOMPARE(dialog.parent.data(), window.get());
            QVERIFY(dialog.answered);
        }

        answerer.clear();
        window->findChild<QPushButton *>(QStringLiteral("pbExit"))->click();
        QVERIFY(!window->isVisible());
        QTest::qWait(20);
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(!QFile::exists(env.paths().settingsFile));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
