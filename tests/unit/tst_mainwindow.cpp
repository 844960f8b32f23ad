#include "app/StartupError.h"
#include "app/WindowPlacement.h"
#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"
#include "mainwindow/Ui_MainWindow.h"
#include "preview/CollectSystemInfo.h"
#include "preview/HostSource.h"
#include "preview/InfoText.h"
#include "preview/JobFromSettings.h"
#include "preview/RouteTable.h"
#include "preview/TemporaryImage.h"
#include "settings/FormSettings.h"

#include <QProcess>
#include <QtTest>
#include <QtWidgets>

#include <sched.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace korvel;

namespace {

// Canned facts that count the lookups made.
class FakeHost : public HostSource
{
public:
    explicit FakeHost(QVector<InterfaceEntry> entries) : m_entries(std::move(entries)) {}
    std::optional<QVector<InterfaceEntry>> interfaces() const override
    {
        return ++calls, m_entries;
    }
    std::optional<QString> loginName() const override { return ++calls, QString("anna"); }
    std::optional<QString> nodeName() const override { return ++calls, QString("desk-7"); }
    std::optional<QByteArray> routeTable() const override
    {
        // Gateway 192.168.1.1.
        return ++calls, TestEnvironment::readFile(KORVEL_TEST_DATA "/route/reject-route.txt");
    }
    mutable int calls = 0;

private:
    QVector<InterfaceEntry> m_entries;
};

const SystemInfoRequest All{true, true, true, true, true};

// The five fields in one line, "-" for an absent one.
QString describe(const SystemInfo &info)
{
    QStringList fields;
    for (const auto &field :
         {info.username, info.hostname, info.ipAddress, info.netmask, info.gateway})
        fields << field.value_or("-");
    return fields.join(' ');
}

} // namespace

// The window and its form: building it from the installed form file, the
// buttons' handlers, and what the form's choices make of the preview's job;
// the host facts and the text block of the preview.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // The host facts come from the real system, in a fresh network namespace
    // (root only): first nothing but lo, then two interfaces with default routes.
    void initTestCase()
    {
        if (::geteuid() != 0)
            return;
        QCOMPARE(::unshare(CLONE_NEWNET), 0); // this thread and the commands it starts
        QCOMPARE(QProcess::execute("ip", {"link", "set", "lo", "up"}), 0);
        QCOMPARE(describe(collectSystemInfo(All)).section(' ', 2), "- - -");
        QCOMPARE(
            QProcess::execute(
                "sh",
                {"-ec", "ip link add v0 type veth peer name v1 && "
                        "ip addr add 10.20.30.40/19 dev v1 && ip addr add 172.31.7.9/28 dev v0 && "
                        "ip link set v0 up && ip link set v1 up && "
                        "ip route add default via 172.31.7.1 dev v0 metric 300 && "
                        "ip route add default via 10.20.0.1 dev v1 metric 20"}),
            0);
    }

    void collectsFromTheRealSystem()
    {
        if (::geteuid() != 0)
            QSKIP("a network namespace of its own needs root");
        const SystemInfo info = collectSystemInfo(All);
        QVERIFY(info.username && !info.username->isEmpty());
        QCOMPARE(describe(info).section(' ', 1),
                 QSysInfo::machineHostName() + " 172.31.7.9 255.255.255.240 10.20.0.1");
    }

    void walksTheInterfaceList_data() { TestEnvironment::addRows("interfaces/walk.txt", 2); }
    void walksTheInterfaceList()
    {
        QFETCH(QStringList, row);
        QVector<InterfaceEntry> list;
        for (const QString &entry : row[0].split(", ")) {
            const QStringList f = entry.split(' ');
            list.append({f[0], f.size() == 3, f.value(1), f.value(2)});
        }
        const FakeHost host(list);
        QCOMPARE(describe(collectSystemInfo(All, host)), row[1]);
        const int calls =
            row[1].endsWith(" -") ? 3 : 4; // the interface list once, the routes for a gateway
        QCOMPARE(host.calls, calls);
        const SystemInfo mask = collectSystemInfo({false, false, false, true, false}, host);
        QCOMPARE(describe(mask), "- - - " + row[1].section(' ', 3, 3) + " -");
        QCOMPARE(host.calls, calls + 1);
    }

    void findsTheDefaultGateway_data() { TestEnvironment::addRows("route/gateways.txt", 2); }
    void findsTheDefaultGateway()
    {
        QFETCH(QStringList, row);
        const auto found =
            defaultGateway(TestEnvironment::readFile(KORVEL_TEST_DATA "/route/" + row[0]));
        QCOMPARE(found.value_or("-"), row[1]);
    }

    void composesTheTextBlock()
    {
        QCOMPARE(composeInfoText({}, {}), "\n\n\n\n\n\n\n");
        QCOMPARE(composeInfoText({{}, "desk-7", {}, {}, {}}, {}),
                 "\n\nИмя компьютера: desk-7\n\n\n\n\n");
        // An empty host name keeps its label; a free text of two lines.
        QCOMPARE(composeInfoText({"anna", "", "10.0.0.5", "255.0.0.0", "10.0.0.1"},
                                 "Кабинет 12\nтел. 3-45"),
                 "Имя пользователя:   anna\n\nИмя компьютера: \nIP-адрес компьютера:  10.0.0.5\n"
                 "Маска сети:  255.0.0.0\nШлюз по-умолчанию:   10.0.0.1\n\nКабинет 12\nтел. 3-45");
    }

    void namesTheImageByTheTime()
    {
        // The shortest text that reads back as the same number.
        QCOMPARE(temporaryImageName(1700000000.0), "1700000000.0.png");
        QCOMPARE(temporaryImageName(1765043254.1234567), "1765043254.1234567.png");
    }

    void centredPosition_data()
    {
        QTest::addColumn<QSize>("desktop");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("fits") << QSize(800, 600) << QSize(500, 300) << QPoint(150, 150);
        QTest::newRow("odd rounds down") << QSize(800, 600) << QSize(333, 300) << QPoint(233, 150);
        QTest::newRow("wider") << QSize(640, 480) << QSize(645, 480) << QPoint(-3, 0);
        QTest::newRow("taller") << QSize(640, 480) << QSize(640, 484) << QPoint(0, -2);
        QTest::newRow("two screens") << QSize(3840, 1080) << QSize(560, 600) << QPoint(1640, 240);
    }
    void centredPosition()
    {
        QFETCH(QSize, desktop);
        QFETCH(QSize, window);
        QTEST(korvel::centredPosition(desktop, window), "expected");
    }

    // Rows of tests/data/forms/broken.txt: what is replaced in the installed
    // form (or the whole file, or "@mode", "@owner"), and what the error names.
    void rejectsABrokenForm_data() { TestEnvironment::addRows("forms/broken.txt", 3); }
    void rejectsABrokenForm()
    {
        QFETCH(QStringList, row);
        const QByteArray from = row[0].toUtf8(), to = row[1].toUtf8();
        TestEnvironment env;
        QByteArray form = TestEnvironment::readFile(env.paths().mainForm);
        QVERIFY(form.contains(from));
        env.writeFile("share/korvelDesktopinfoGui.xml",
                      from.isEmpty() ? to : form.replace(from, to));
        if (to == "-")
            env.paths().mainForm = env.path("none.xml");
        const QByteArray name = QFile::encodeName(env.paths().mainForm);
        const char *path = name.constData();
        if (to.startsWith('@')) {
            QFile::copy(KORVEL_SOURCE_DIR "/forms/korvelDesktopinfoGui.xml", name + ".new");
            QCOMPARE(::rename(QByteArray(name + ".new").constData(), path), 0);
        }
        if (to == "@owner" && !Unprivileged::isRoot())
            QSKIP("only root can give a file away");
        if (to == "@owner")
            QCOMPARE(::chown(path, Unprivileged::Uid, Unprivileged::Gid), 0);
        if (to.startsWith("@0"))
            QCOMPARE(::chmod(path, mode_t(to.mid(1).toInt(nullptr, 8))), 0);
        try {
            env.makeWindow();
            QFAIL("the window was built");
        } catch (const StartupError &error) {
            const QString what = QString::fromUtf8(error.what());
            QVERIFY2(what.contains(row[2]) && what.contains(env.paths().mainForm), error.what());
        }
    }

    // One window through its life: the over check box, the browse button, then the exit button.
    void windowReactsToItsButtons()
    {
        TestEnvironment env;
        const QString image = env.writeFile("pictures/sea.png", "x");
        auto window = env.makeWindow();
        QCOMPARE(window->size(), QSize(560, 600));
        QVERIFY(window->findChild<QRadioButton *>("radioButton")->isChecked());
        QVERIFY(!window->isVisible());
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

        // The save button asks first; answered "no", nothing is written.
        answerer.clear();
        answerer.answerBox(QMessageBox::No);
        window->findChild<QPushButton *>("pbSave")->click();
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].text, "Сохранить выбранные параметры?");
        answerer.clear();
        window->findChild<QPushButton *>("pbExit")->click();
        QVERIFY(!window->isVisible());
        QTest::qWait(20);
        QVERIFY(answerer.seen().isEmpty());
        QVERIFY(!QFile::exists(env.paths().settingsFile));
    }

    // The logo box, saved through the save button and read back by a new window.
    void logoRoundTrip()
    {
        TestEnvironment env;
        QImage image(8, 8, QImage::Format_RGB32);
        image.fill(Qt::blue);
        QVERIFY(image.save(env.writeFile("pictures/sea.png", {}), "PNG"));
        auto window = env.makeWindow();
        QVERIFY(!window->findChild<QCheckBox *>("cbLogo")->isChecked());
        window->findChild<QCheckBox *>("cbLogo")->setChecked(true);
        window->findChild<QLineEdit *>("lineBrowse")->setText(env.path("pictures/sea.png"));
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        window->findChild<QPushButton *>("pbSave")->click();
        QCOMPARE(answerer.seen().value(1).text, "Параметры сохранены!");
        QVERIFY(TestEnvironment::readFile(env.paths().settingsFile).contains("\nLogo=true\n"));
        QVERIFY(env.makeWindow()->findChild<QCheckBox *>("cbLogo")->isChecked());
    }

    // Each box asks the preview for its own fact, on its own line of the text
    // block; the free text is in the picture only with cbOver checked.
    void formAsksForItsFacts_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<int>("line"); // of the eight lines of the text block
        QTest::newRow("cbUsername") << "cbUsername" << 0;
        QTest::newRow("cbHostname") << "cbHostname" << 2;
        QTest::newRow("cbIPaddress") << "cbIPaddress" << 3;
        QTest::newRow("cbNetmask") << "cbNetmask" << 4;
        QTest::newRow("cbGateway") << "cbGateway" << 5;
        QTest::newRow("cbOver") << "cbOver" << 7;
    }
    void formAsksForItsFacts()
    {
        QFETCH(QString, box);
        QFETCH(int, line);
        TestEnvironment env;
        QMainWindow window;
        Ui_MainWindow ui(*env.context().mainForm);
        ui.setupUi(&window);
        ui.textEdit->setPlainText("Кабинет 12");
        window.findChild<QCheckBox *>(box)->setChecked(true);
        const auto job = [&] {
            return jobFromSettings(settingsFromForm(ui, {}), {}, {800, 600}, {}).text.split('\n');
        };
        SystemInfoRequest all{true, true, true, true, true};
        const QStringList facts = composeInfoText(collectSystemInfo(all), "Кабинет 12").split('\n');
        QStringList expected = QString(7, '\n').split('\n');
        expected[line] = facts[line];
        QVERIFY2(!facts[line].isEmpty(), "the system lacks this fact");
        QCOMPARE(job(), expected);
        // With every box but cbOver: every fact, and no free text.
        for (const char *name :
             {"cbUsername", "cbHostname", "cbIPaddress", "cbNetmask", "cbGateway"})
            ui.cbOver->setChecked(false), window.findChild<QCheckBox *>(name)->setChecked(true);
        QCOMPARE(job(), facts.mid(0, 7) << QString());
        // Nor does a settings file with Over false bring it in (the desktop tool reads those).
        DisplaySettings file;
        file.OverText = "Кабинет 12";
        QVERIFY(!jobFromSettings(file, {}, {800, 600}, {}).text.contains(file.OverText));
    }

    // The position buttons; with none of the first two checked the text goes right.
    void position_data()
    {
        QTest::addColumn<QString>("checked"); // empty: no button
        QTest::addColumn<QString>("position");
        QTest::addColumn<int>("edge"); // on a desktop 1000 pixels wide
        QTest::newRow("left") << "radioButton"
                              << "left" << 100;
        QTest::newRow("center") << "radioButton_2"
                                << "center" << 400;
        QTest::newRow("right") << "radioButton_3"
                               << "right" << 750;
        QTest::newRow("none") << ""
                              << "right" << 750;
    }
    void position()
    {
        QFETCH(QString, checked);
        TestEnvironment env;
        QMainWindow window;
        Ui_MainWindow ui(*env.context().mainForm);
        ui.setupUi(&window);
        for (QRadioButton *b : {ui.radioButton, ui.radioButton_2, ui.radioButton_3})
            b->setAutoExclusive(false), b->setChecked(b->objectName() == checked);
        const DisplaySettings settings = settingsFromForm(ui, {});
        QTEST(settings.Position, "position");
        const PreviewJob job = jobFromSettings(settings, {}, {1000, 600}, {});
        QTEST(textLeftEdge(job.position, 1000), "edge");
    }

    void textColor_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<QColor>("color");
        const QColor table[] = {Qt::black, Qt::white,  QColor(0, 128, 0), Qt::blue,
                                Qt::red,   Qt::yellow, Qt::black,         Qt::black};
        const int indices[] = {0, 1, 2, 3, 4, 5, 6, -1};
        for (int i = 0; i < 8; ++i)
            QTest::addRow("%d", indices[i]) << indices[i] << table[i];
    }
    void textColor()
    {
        QFETCH(int, index);
        QTEST(korvel::textColor(index), "color");
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
