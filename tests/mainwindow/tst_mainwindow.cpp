#include "forms/StartupError.h"
#include "helpers/ModalAnswerer.h"
#include "helpers/SaveRows.h"
#include "helpers/WindowEnvironment.h"
#include "hostinfo/CollectSystemInfo.h"
#include "mainwindow/FormSettings.h"
#include "mainwindow/MainForm.h"
#include "mainwindow/SaveSettingsFlow.h"
#include "picture/InfoText.h"
#include "picture/JobFromSettings.h"
#include "preview/PreviewWindow.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>

using namespace korvel;

namespace {

const SystemInfoRequest All{true, true, true, true, true};
const QString White = QStringLiteral(KORVEL_TEST_DATA "/images/white.png");
const QString Jpeg = QStringLiteral(KORVEL_TEST_DATA "/images/halves.jpg");
const QString Example = QStringLiteral(KORVEL_TEST_DATA "/settings/saved-example.ini");

// The installed main form set up on a plain window, without the window's handlers.
struct Form : WindowEnvironment, QMainWindow, MainForm
{
    Form() : MainForm(*context().mainForm) { setupUi(this); }
};

template <typename Widget = QAbstractButton> Widget *child(QWidget *window, const char *name)
{
    return window->findChild<Widget *>(QLatin1String(name));
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

// The boxes `answerer` saw, one line each: class, title, icon, buttons, parent ("window" or "-")
// and text.
QStringList lines(const ModalAnswerer &answerer, QWidget *window)
{
    QStringList shown;
    for (const ModalAnswerer::Seen &s : answerer.seen())
        shown << QStringLiteral("%1|%2|%3|%4|%5|%6")
                     .arg(s.className, s.title, QString::number(s.icon), QString::number(s.buttons),
                          s.parent == window ? "window" : "-", s.text);
    return shown;
}
// Presses `button`, answering `answer` to a question, then Ok; the boxes that showed.
QStringList press(QWidget *window, const char *button, QMessageBox::StandardButton answer)
{
    ModalAnswerer answerer;
    answerer.answerBox(answer);
    answerer.answerBox(QMessageBox::Ok);
    child(window, button)->click();
    return lines(answerer, window);
}
QStringList save(QWidget *window)
{
    return press(window, "pbSave", QMessageBox::Yes);
}

const QString Question =
    QStringLiteral("QMessageBox|Сохранение параметров|4|%1|window|Сохранить выбранные параметры?")
        .arg(QMessageBox::Yes | QMessageBox::No);
const QString Saved =
    QStringLiteral("QMessageBox|Выполнено!|1|%1|-|Параметры сохранены!").arg(QMessageBox::Ok);
// The start of a warning's line, over the window or none (%1).
const QString Warning = QStringLiteral("QMessageBox|Ошибка!|2|%1|%2|").arg(QMessageBox::Ok);

QList<QPointer<PreviewWindow>> livePreviews()
{
    QList<QPointer<PreviewWindow>> found;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *preview = qobject_cast<PreviewWindow *>(widget))
            found.append(preview);
    return found;
}

QStringList tempFiles(const TestEnvironment &env)
{
    return QDir(env.paths().tempDir).entryList(QDir::Files | QDir::System | QDir::Hidden);
}

// Sets the image path and presses the preview button.
void pressPreview(QWidget &window, const QString &image)
{
    child<QLineEdit>(&window, "lineBrowse")->setText(image);
    child(&window, "pushButton")->click();
}

} // namespace

// The window and its form: building it from the installed form file, the
// buttons' handlers, loading and saving the settings through the form, the
// boxes that answer the save and preview jobs, and the preview window.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        QTRY_VERIFY_WITH_TIMEOUT(livePreviews().isEmpty(), PreviewWindow::ShowMilliseconds + 1500);
    }

    void rejectsAFormWithoutItsWidgets_data()
    {
        TestEnvironment::addRows("window/widgets.txt", {"from", "to", "error"});
    }
    void rejectsAFormWithoutItsWidgets()
    {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, error);
        WindowEnvironment env;
        QString form = QString::fromUtf8(TestEnvironment::readFile(env.paths().mainForm));
        QVERIFY(form.contains(from));
        env.writeFile("share/korvelDesktopinfoGui.xml", form.replace(from, to).toUtf8());
        try {
            env.makeWindow();
            QFAIL("the window was built");
        } catch (const StartupError &e) {
            const QString what = QString::fromUtf8(e.what());
            QVERIFY2(what.contains(error) && what.contains(env.paths().mainForm), e.what());
        }
    }

    // One window through its life: the over check box, the browse button, then the exit button
    // (the save button: savesTheExampleAndReopens).
    void windowReactsToItsButtons()
    {
        WindowEnvironment env;
        const QString image = env.writeFile("pictures/sea.png", TestEnvironment::readFile(White));
        auto window = env.makeWindow();
        QCOMPARE(window->size(), QSize(560, 600));
        QVERIFY(child(window.get(), "radioButton")->isChecked() && !window->isVisible());
        window->show();
        auto *over = window->findChild<QCheckBox *>("cbOver");
        auto *text = window->findChild<QTextEdit *>("textEdit");
        QVERIFY(!over->isChecked() && !text->isEnabled());
        QTest::mouseClick(over, Qt::LeftButton, {}, QPoint(5, over->height() / 2));
        QVERIFY(over->isChecked() && text->isEnabled());
        text->setPlainText("Кабинет 12");
        over->click();
        QVERIFY(!text->isEnabled());
        QCOMPARE(text->toPlainText(), "Кабинет 12");
        over->setChecked(true); // set by the program, not the user: no handler runs
        QVERIFY(!text->isEnabled());
        over->setTristate(true);
        over->setCheckState(Qt::Unchecked);
        over->click(); // unchecked -> partially checked
        QCOMPARE(over->checkState(), Qt::PartiallyChecked);
        QVERIFY(text->isEnabled());

        auto *line = window->findChild<QLineEdit *>("lineBrowse");
        ModalAnswerer answerer;
        answerer.chooseFile(image);
        answerer.chooseFile(QString());
        window->findChild<QPushButton *>("pbBrowse")->click();
        QCOMPARE(line->text(), image);
        window->findChild<QPushButton *>("pbBrowse")->click();
        QCOMPARE(line->text(), QString());
        QCOMPARE(answerer.seen().size(), 2);
        for (const ModalAnswerer::Seen &dialog : answerer.seen())
            QVERIFY(dialog.className == "QFileDialog" && dialog.title == "Выбрать файл" &&
                    dialog.parent == window.get() && dialog.answered);

        answerer.clear();
        window->findChild<QPushButton *>("pbExit")->click();
        QVERIFY(!window->isVisible());
        QTest::qWait(20);
        QVERIFY(answerer.seen().isEmpty());
    }

    // Each box asks the preview for its own fact, on its own line of the text
    // block; the free text is in the picture only with cbOver checked; the position buttons.
    void formAsksForItsFacts_data() { TestEnvironment::addRows("window/facts.txt", 2); }
    void formAsksForItsFacts()
    {
        QFETCH(QStringList, row);
        const int line = row[1].toInt();
        Form form;
        form.textEdit->setPlainText("Кабинет 12");
        form.findChild<QCheckBox *>(row[0])->setChecked(true);
        const auto job = [&] {
            return jobFromSettings(settingsFromForm(form, {}), {}, {800, 600}, {}).text.split('\n');
        };
        const QStringList facts = composeInfoText(collectSystemInfo(All), "Кабинет 12").split('\n');
        QStringList expected = QString(7, '\n').split('\n');
        expected[line] = facts[line];
        QVERIFY2(!facts[line].isEmpty(), "the system lacks this fact");
        QCOMPARE(job(), expected);
        // With every box but cbOver: every fact, and no free text.
        form.cbOver->setChecked(false);
        for (QCheckBox *box :
             {form.cbUsername, form.cbHostname, form.cbIPaddress, form.cbNetmask, form.cbGateway})
            box->setChecked(true);
        QCOMPARE(job(), facts.mid(0, 7) << QString());
        // Nor does a settings file with Over false bring it in (the desktop tool reads those).
        DisplaySettings file;
        file.OverText = "Кабинет 12";
        QVERIFY(!jobFromSettings(file, {}, {800, 600}, {}).text.contains(file.OverText));

        // The checked position button gives the setting and the text's left edge on a desktop
        // 1000 pixels wide; with none checked, the text goes right.
        const QList<QRadioButton *> buttons{form.radioButton, form.radioButton_2,
                                            form.radioButton_3, nullptr};
        for (int i = 0; i < buttons.size(); ++i) {
            for (QRadioButton *b : buttons.mid(0, 3))
                b->setAutoExclusive(false), b->setChecked(b == buttons[i]);
            const DisplaySettings values = settingsFromForm(form, {});
            QCOMPARE(values.Position, QStringList({"left", "center", "right", "right"})[i]);
            const int edge =
                textLeftEdge(jobFromSettings(values, {}, {1000, 600}, {}).position, 1000);
            QCOMPARE(edge, QList<int>({100, 400, 750, 750})[i]);
        }
    }

    void loadsTheForm_data() { TestEnvironment::addRows("settings/loads.txt", 3); }
    void loadsTheForm()
    {
        QFETCH(QStringList, row);
        WindowEnvironment env;
        if (row[0] != "-")
            env.writeFile("share/settings.ini", row[0].toUtf8() + '\n');
        std::unique_ptr<KorvelWindow> window;
        const QString printed = TestEnvironment::stderrOf([&] { window = env.makeWindow(); });
        QCOMPARE(formState(window.get()),
                 row[1].replace(QRegularExpression("@$"), "color:0 size:8 image:"));
        const QStringList keys = row[2].split('\n', Qt::SkipEmptyParts);
        QCOMPARE(printed.count('\n'), keys.size());
        for (const QString &key : keys)
            QVERIFY2(printed.contains(key), qPrintable(printed));
    }

    void savesTheExampleAndReopens()
    {
        WindowEnvironment env;
        const QString image = env.writeFile("pictures/sea.png", TestEnvironment::readFile(White));
        const QString wallpaper = env.writeFile("share/wallpaper.png", "old");
        ::chmod(QFile::encodeName(wallpaper).constData(), 0600);
        auto window = env.makeWindow();
        for (const char *name :
             {"cbUsername", "cbIPaddress", "cbGateway", "cbHostname", "cbLogo", "radioButton_3"})
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
        QCOMPARE(TestEnvironment::mode(wallpaper), S_IFREG | 0664);
        QCOMPARE(TestEnvironment::entries(env.path("share")).size(), 4); // forms, ini, png

        WindowEnvironment other; // reads the file afresh
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

        // Over unchecked, the free text is not saved.
        child(window.get(), "cbOver")->click();
        QCOMPARE(save(window.get()), (QStringList{Question, Saved}));
        written = QString::fromUtf8(TestEnvironment::readFile(env.paths().settingsFile));
        QVERIFY2(written.contains("\nOverText=\n"), qPrintable(written));
    }

    // The warning for each outcome of tests/data/save/saves.txt.
    void explainsAFailedSave_data() { addSaveRows(); }
    void explainsAFailedSave()
    {
        QFETCH(SaveOutcome, outcome);
        QFETCH(QString, text);
        const TestEnvironment env;
        outcome.path = env.resolved(outcome.path);
        QCOMPARE(saveFailureText(outcome, env.paths().settingsFile), env.resolved(text));
    }

    // What the window shows when a save or a preview fails (tests/data/window/boxes.txt): the
    // question first for a save, then one warning, "Ошибка!" with an OK button, over the window
    // for a preview (a save's has none); nothing is left in the temporary folder, and a save
    // answered "no" writes nothing.
    void showsEachFailureInABox_data()
    {
        TestEnvironment::addRows("window/boxes.txt", {"button", "change", "image", "text"});
    }
    void showsEachFailureInABox()
    {
        QFETCH(QString, button);
        QFETCH(QString, change);
        QFETCH(QString, image);
        QFETCH(QString, text);
        WindowEnvironment env;
        QFile::setPermissions(env.writeFile("outside/secret.png", "secret"), QFile::ReadOwner);
        const QString value = env.resolved(change.section('=', 1));
        if (change.startsWith("font="))
            env.paths().font = value;
        else if (change.startsWith("tmp="))
            env.paths().tempDir = value;
        else if (!change.isEmpty() && !change.startsWith("size="))
            QVERIFY(env.plant(env.resolved(change)));
        auto window = env.makeWindow();
        auto *size = child<QSpinBox>(window.get(), "spinBox");
        size->setRange(0, 100000);
        size->setValue(change.startsWith("size=") ? value.toInt() : size->value());
        if (image != "-")
            child<QLineEdit>(window.get(), "lineBrowse")->setText(env.resolved(image));
        QElapsedTimer timer;
        timer.start();
        const bool preview = button == "preview";
        const QStringList shown = press(window.get(), preview ? "pushButton" : "pbSave",
                                        button == "no" ? QMessageBox::No : QMessageBox::Yes);
        QVERIFY2(timer.elapsed() < 5000, "a planted file or a declared size held the window up");
        QStringList expected = preview ? QStringList() : QStringList{Question};
        if (!text.isEmpty())
            expected << Warning.arg(preview ? "window" : "-") + env.resolved(text);
        QCOMPARE(shown.size(), expected.size());
        for (int i = 0; i < shown.size(); ++i)
            QVERIFY2(shown[i].startsWith(expected[i]), qPrintable(shown[i]));
        QVERIFY(livePreviews().isEmpty() && tempFiles(env).isEmpty());
        QVERIFY(!text.isEmpty() ||
                !(QFile::exists(env.paths().settingsFile) || QFile::exists(env.paths().wallpaper)));
    }

    // The autostart box: read from the entry at start, each switch reported over the window; a
    // failure in a critical box without parent, after which the box is set back (the entry's
    // reading and switching: tests/autostart).
    void switchesAutostartByItsBox()
    {
        WindowEnvironment env;
        auto window = env.makeWindow(); // the packaged entry: off
        QVERIFY(!child(window.get(), "cbAutostart")->isChecked());
        const QString done =
            QStringLiteral("QMessageBox|Выполнено|1|%1|window|Автостар ").arg(QMessageBox::Ok);
        QCOMPARE(press(window.get(), "cbAutostart", QMessageBox::Ok), {done + "включен!"});
        QVERIFY(child(env.makeWindow().get(), "cbAutostart")->isChecked());
        QCOMPARE(press(window.get(), "cbAutostart", QMessageBox::Ok), {done + "отключен!"});
        const QString failed = QStringLiteral("QMessageBox|Ошибка|3|%1|-|").arg(QMessageBox::Ok);
        QFile::remove(env.paths().autostartEntry);
        {
            ModalAnswerer answerer;
            answerer.answerBox(QMessageBox::Ok);
            window = env.makeWindow();
            QCOMPARE(lines(answerer, window.get()),
                     {failed + "Не найден файл\n" + env.paths().autostartEntry +
                      "\nОн удален или не существует"});
        }
        const QStringList shown = press(window.get(), "cbAutostart", QMessageBox::Ok);
        QVERIFY2(shown.size() == 1 && shown[0].startsWith(failed + "Произошла ошибка:\n"),
                 qPrintable(shown.join('\n')));
        QVERIFY(!child(window.get(), "cbAutostart")->isChecked());
    }

    // Two quick previews, the first one closed early by the user.
    void showsEachPreviewForThreeSecondsThenRemovesItsFile()
    {
        WindowEnvironment env;
        // A preview form with a layout of its own still shows the whole picture.
        env.writeFile(QStringLiteral("share/preview.xml"),
                      "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"Form\">"
                      "<layout class=\"QVBoxLayout\" name=\"l\"><item><spacer name=\"s\"/>"
                      "</item></layout></widget></ui>");
        auto window = env.makeWindow();
        pressPreview(*window, Jpeg);
        const QPointer<PreviewWindow> first = livePreviews().value(0);
        QVERIFY(first && first->isVisible() && first->isFullScreen() &&
                first->windowTitle().isEmpty() && first->parentWidget() == nullptr);
        QCOMPARE(first->geometry(), QApplication::desktop()->geometry());
        QCOMPARE(first->findChild<QLabel *>()->geometry(), first->rect());
        const QStringList files = tempFiles(env);
        QVERIFY(QRegularExpression("^\\d+\\.\\d+\\.png$").match(files.join(' ')).hasMatch()); // one
        // A second apart, so that load cannot make the two timers look like one.
        QTest::qWait(1000);
        pressPreview(*window, KORVEL_TEST_DATA "/images/clear.png"); // transparent
        const QPointer<PreviewWindow> second = livePreviews().value(livePreviews()[0] == first);
        QVERIFY(livePreviews().size() == 2 && tempFiles(env).size() == 2);
        // Each window shows exactly what its file holds, alpha included.
        for (const PreviewWindow *shown : {first.data(), second.data()}) {
            const QImage written(env.paths().tempDir + tempFiles(env).value(shown == second));
            QCOMPARE(shown->findChild<QLabel *>()
                         ->pixmap(Qt::ReturnByValue)
                         .toImage()
                         .convertToFormat(written.format()),
                     written);
        }
        // Closed early by the user, the first one still removes its file on time, and only its.
        QVERIFY(first->close());
        QTest::qWait(PreviewWindow::ShowMilliseconds - 1300);
        QCOMPARE(tempFiles(env).size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2000);
        QVERIFY(second && second->isVisible() && !tempFiles(env).contains(files[0]));
        QTRY_VERIFY_WITH_TIMEOUT(second.isNull() && tempFiles(env).isEmpty(), 2000);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
