#include "app/StartupError.h"
#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "mainwindow/KorvelWindow.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTextEdit>
#include <QtTest>

using korvel::KorvelWindow;

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void buildsFromTheInstalledForm()
    {
        TestEnvironment env;
        auto window = env.makeWindow();
        QCOMPARE(window->size(), QSize(560, 600));
        QVERIFY(!window->windowTitle().isEmpty());
        QVERIFY(window->findChild<QRadioButton *>(QStringLiteral("radioButton"))->isChecked());
        QVERIFY(!window->isVisible());
    }

    void rejectsAFormWithoutARequiredWidget_data()
    {
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("named");
        QTest::newRow("missing button") << "name=\"pbSave\""
                                        << "name=\"pbStore\""
                                        << "\"pbSave\"";
        QTest::newRow("missing line edit") << "name=\"lineBrowse\""
                                           << "name=\"linePath\""
                                           << "\"lineBrowse\"";
        QTest::newRow("spin box of another class") << "class=\"QSpinBox\""
                                                   << "class=\"QDoubleSpinBox\""
                                                   << "\"spinBox\" is a QDoubleSpinBox";
        QTest::newRow("check box that is a radio button")
            << "class=\"QCheckBox\" name=\"cbAutostart\""
            << "class=\"QRadioButton\" name=\"cbAutostart\""
            << "\"cbAutostart\" is a QRadioButton";
    }

    void rejectsAFormWithoutARequiredWidget()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, named);
        TestEnvironment env;
        QByteArray form = TestEnvironment::readFile(env.paths().mainForm);
        QVERIFY(form.contains(from.toUtf8()));
        form.replace(from.toUtf8(), to.toUtf8());
        env.writeFile(QStringLiteral("share/korvelDesktopinfoGui.xml"), form);
        try {
            env.makeWindow();
            QFAIL("the window was built");
        } catch (const korvel::StartupError &error) {
            QVERIFY2(QString::fromUtf8(error.what()).contains(named), error.what());
        }
    }

    void rejectsInvalidFormFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("baseClass");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QByteArray() << "QWidget"
                               << "empty";
        QTest::newRow("not XML") << QByteArray("<ui><widget class=\"QWidget\">") << "QWidget"
                                 << "not well-formed";
        QTest::newRow("not a form") << QByteArray("<html/>") << "QWidget"
                                    << "<html>";
        QTest::newRow("no widget") << QByteArray("<ui version=\"4.0\"/>") << "QWidget"
                                   << "no top-level widget";
        QTest::newRow("another top-level class")
            << QByteArray("<ui version=\"4.0\"><widget class=\"QDialog\" name=\"D\"/></ui>")
            << "QMainWindow"
            << "class QDialog";
    }

    void rejectsInvalidFormFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, baseClass);
        QFETCH(QString, reason);
        TestEnvironment env;
        const QString path = env.writeFile(QStringLiteral("form.xml"), content);
        try {
            korvel::FormClass::fromFile(path, baseClass);
            QFAIL("the form was accepted");
        } catch (const korvel::StartupError &error) {
            const QString what = QString::fromUtf8(error.what());
            QVERIFY2(what.contains(reason) && what.contains(path), error.what());
        }
    }

    void rejectsAMissingFormFile()
    {
        TestEnvironment env;
        QVERIFY_EXCEPTION_THROWN(korvel::FormClass::fromFile(env.path(QStringLiteral("none.xml")),
                                                             QStringLiteral("QWidget")),
                                 korvel::StartupError);
    }

    void overCheckBoxSwitchesTheTextField()
    {
        TestEnvironment env;
        auto window = env.makeWindow();
        window->show();
        auto *over = window->findChild<QCheckBox *>(QStringLiteral("cbOver"));
        auto *text = window->findChild<QTextEdit *>(QStringLiteral("textEdit"));
        QVERIFY(!over->isChecked());
        QVERIFY(!text->isEnabled());

        QTest::mouseClick(over, Qt::LeftButton, {}, QPoint(5, over->height() / 2));
        QVERIFY(over->isChecked());
        QVERIFY(text->isEnabled());
        text->setPlainText(QStringLiteral("Кабинет 12"));

        over->click();
        QVERIFY(!text->isEnabled());
        QCOMPARE(text->toPlainText(), QStringLiteral("Кабинет 12"));

        // Set by the program, not the user: no handler runs.
        over->setChecked(true);
        QVERIFY(!text->isEnabled());

        over->setTristate(true);
        over->setCheckState(Qt::Unchecked);
        over->click(); // unchecked -> partially checked
        QCOMPARE(over->checkState(), Qt::PartiallyChecked);
        QVERIFY(text->isEnabled());
    }

    void browseButtonPutsTheChosenPathIntoTheLine()
    {
        TestEnvironment env;
        const QString image = env.writeFile(QStringLiteral("pictures/sea.png"), "x");
        auto window = env.makeWindow();
        window->show();
        auto *line = window->findChild<QLineEdit *>(QStringLiteral("lineBrowse"));
        auto *browse = window->findChild<QPushButton *>(QStringLiteral("pbBrowse"));

        ModalAnswerer answerer;
        answerer.chooseFile(image);
        browse->click();
        QCOMPARE(line->text(), image);
        QCOMPARE(answerer.seen().size(), 1);
        const ModalAnswerer::Seen &dialog = answerer.seen().first();
        QCOMPARE(dialog.className, QStringLiteral("QFileDialog"));
        QCOMPARE(dialog.title, QStringLiteral("Выбрать файл"));
        QCOMPARE(dialog.parent.data(), window.get());
        QVERIFY(dialog.answered);

        answerer.chooseFile(QString());
        browse->click();
        QCOMPARE(line->text(), QString());
    }

    void exitButtonClosesWithoutAsking()
    {
        TestEnvironment env;
        auto window = env.makeWindow();
        window->show();
        window->findChild<QTextEdit *>(QStringLiteral("textEdit"))->setPlainText("unsaved");
        ModalAnswerer answerer;
        window->findChild<QPushButton *>(QStringLiteral("pbExit"))->click();
        QVERIFY(!window->isVisible());
        QTest::qWait(20);
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(!QFile::exists(env.paths().settingsFile));
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
