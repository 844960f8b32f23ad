#include "app/WindowPlacement.h"
#include "forms/StartupError.h"
#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "hostinfo/CollectSystemInfo.h"
#include "hostinfo/HostSource.h"
#include "hostinfo/RouteTable.h"
#include "mainwindow/FormSettings.h"
#include "mainwindow/KorvelWindow.h"
#include "mainwindow/MainForm.h"
#include "picture/InfoText.h"
#include "picture/JobFromSettings.h"
#include "preview/TemporaryImage.h"

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
    explicit FakeHost(QVector<InterfaceEntry> list) : entries(std::move(list)) {}
    std::optional<QVector<InterfaceEntry>> interfaces() const override { return ++calls, entries; }
    std::optional<QString> loginName() const override { return ++calls, QString("anna"); }
    std::optional<QString> nodeName() const override { return ++calls, QString("desk-7"); }
    std::optional<QByteArray> routeTable() const override
    {
        // Gateway 192.168.1.1.
        return ++calls, TestEnvironment::readFile(KORVEL_TEST_DATA "/route/reject-route.txt");
    }
    mutable int calls = 0;
    const QVector<InterfaceEntry> entries;
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

// The installed main form set up on a plain window, without the window's handlers.
struct Form : TestEnvironment, QMainWindow, MainForm
{
    Form() : MainForm(*context().mainForm) { setupUi(this); }
};

} // namespace

// The window and its form: building it from the installed form file, the
// buttons' handlers, and what the form's choices make of the preview's job;
// the host facts and the text block of the preview.
class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    // The host facts come from the real system, in a fresh network namespace
    // (root only): first nothing but lo, then two interfaces with default routes,
    // the lower metric winning.
    void initTestCase()
    {
        if (::geteuid() != 0)
            return;
        QCOMPARE(::unshare(CLONE_NEWNET), 0); // this thread and the commands it starts
        QCOMPARE(QProcess::execute("ip", {"link", "set", "lo", "up"}), 0);
        QCOMPARE(describe(collectSystemInfo(All)).section(' ', 2), "- - -");
        const char *setUp =
            "ip link add v0 type veth peer name v1 && ip link set v0 up && ip link set v1 up && "
            "ip addr add 10.20.30.40/19 dev v1 && ip addr add 172.31.7.9/28 dev v0 && "
            "ip route add default via 172.31.7.1 dev v0 metric 300 && "
            "ip route add default via 10.20.0.1 dev v1 metric 20";
        QCOMPARE(QProcess::execute("sh", {"-ec", setUp}), 0);
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
        // The interface list once, the routes for a gateway.
        const int calls = row[1].endsWith(" -") ? 3 : 4;
        QCOMPARE(host.calls, calls);
        const SystemInfo mask = collectSystemInfo({false, false, false, true, false}, host);
        QCOMPARE(describe(mask), "- - - " + row[1].section(' ', 3, 3) + " -");
        QCOMPARE(host.calls, calls + 1);
    }

    // Rows of tests/data/window/functions.txt: a function, its input and its result as text.
    void computes_data() { TestEnvironment::addRows("window/functions.txt", 3); }
    void computes()
    {
        QFETCH(QStringList, row);
        const QStringList in = row[1].split(',');
        const auto fact = [&](int i) { return in[i] == "-" ? std::optional<QString>() : in[i]; };
        const QString &function = row[0];
        QString result;
        if (function == "centredPosition") {
            const QPoint p =
                centredPosition({in[0].toInt(), in[1].toInt()}, {in[2].toInt(), in[3].toInt()});
            result = QString("%1,%2").arg(p.x()).arg(p.y());
        } else if (function == "textColor") {
            result = textColor(in[0].toInt()).name(QColor::HexArgb);
        } else if (function == "temporaryImageName") {
            result = temporaryImageName(row[1].toDouble());
        } else if (function == "defaultGateway") {
            const QString table = KORVEL_TEST_DATA "/route/" + row[1];
            result = defaultGateway(TestEnvironment::readFile(table)).value_or("-");
        } else if (function == "composeInfoText") {
            result = composeInfoText({fact(0), fact(1), fact(2), fact(3), fact(4)}, in[5]);
        } else if (function == "position") {
            Form form;
            for (QRadioButton *b : {form.radioButton, form.radioButton_2, form.radioButton_3}) {
                b->setAutoExclusive(false);
                b->setChecked(b->objectName() == row[1]);
            }
            const DisplaySettings settings = settingsFromForm(form, {});
            const PictureJob job = jobFromSettings(settings, {}, {1000, 600}, {});
            result = settings.Position + ' ' + QString::number(textLeftEdge(job.position, 1000));
        }
        QCOMPARE(result, row[2]);
    }

    // Rows of tests/data/forms/broken.txt: what is replaced in the installed
    // form (or the whole file, or "@mode", "@owner", "@link"), and what the error names.
    void rejectsABrokenForm_data() { TestEnvironment::addRows("forms/broken.txt", 3); }
    void rejectsABrokenForm()
    {
        QFETCH(QStringList, row);
        const QByteArray from = row[0].toUtf8(), to = row[1].toUtf8();
        TestEnvironment env;
        QByteArray form = TestEnvironment::readFile(env.paths().mainForm);
        QVERIFY(form.contains(from));
        if (!to.startsWith('@'))
            env.writeFile("share/korvelDesktopinfoGui.xml",
                          from.isEmpty() ? to : form.replace(from, to));
        if (to == "-")
            env.paths().mainForm = env.path("none.xml");
        const QByteArray path = QFile::encodeName(env.paths().mainForm);
        if (to == "@owner" && !Unprivileged::isRoot())
            QSKIP("only root can give a file away");
        if (to == "@owner")
            QCOMPARE(::chown(path.constData(), Unprivileged::Uid, Unprivileged::Gid), 0);
        if (to.startsWith("@0"))
            QCOMPARE(::chmod(path.constData(), mode_t(to.mid(1).toInt(nullptr, 8))), 0);
        if (to == "@link") // the form renamed away, a link to it in its place
            QVERIFY(QFile::rename(path, path + ".moved") && QFile::link(path + ".moved", path));
        try {
            env.makeWindow();
            QFAIL("the window was built");
        } catch (const StartupError &error) {
            const QString what = QString::fromUtf8(error.what());
            QVERIFY2(what.contains(row[2]) && what.contains(env.paths().mainForm), error.what());
        }
    }

    // One window through its life: the over check box, the browse button, the save button
    // (with the logo box, which a new window reads back), then the exit button.
    void windowReactsToItsButtons()
    {
        TestEnvironment env;
        const QString image = env.writeFile(
            "pictures/sea.png", TestEnvironment::readFile(KORVEL_TEST_DATA "/images/white.png"));
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

        answerer.clear();
        auto *logo = window->findChild<QCheckBox *>("cbLogo");
        QVERIFY(!logo->isChecked());
        logo->setChecked(true);
        line->setText(image);
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        window->findChild<QPushButton *>("pbSave")->click();
        QCOMPARE(answerer.seen().value(1).text, "Параметры сохранены!");
        QVERIFY(TestEnvironment::readFile(env.paths().settingsFile).contains("\nLogo=true\n"));
        QVERIFY(env.makeWindow()->findChild<QCheckBox *>("cbLogo")->isChecked());
        answerer.clear();
        window->findChild<QPushButton *>("pbExit")->click();
        QVERIFY(!window->isVisible());
        QTest::qWait(20);
        QVERIFY(answerer.seen().isEmpty());
    }

    // Each box asks the preview for its own fact, on its own line of the text
    // block; the free text is in the picture only with cbOver checked.
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
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
