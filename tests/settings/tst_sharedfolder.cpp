#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QLineEdit>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

// Every member of the group may create, rename and delete any file in the
// settings folder. Each case plants something there as such a member would,
// then the window is built, saves or previews, as root or as another member
// (nobody). Every step must end at once with the right message, and no file
// outside the folder may change.
class TestSharedFolder : public QObject
{
    Q_OBJECT

private slots:
    void nothingPlantedReachesOutside_data()
    {
        QTest::addColumn<QString>("plant");  // "NAME->TARGET" a link, "fifo NAME", "NAME=TEXT"
        QTest::addColumn<QString>("action"); // load, save SOURCE, preview SOURCE
        QTest::addColumn<QString>("shown"); // the last box (start of its text), or what stderr says
        QTest::addColumn<bool>("asMember");
        const QString saved = QStringLiteral("Параметры сохранены!");
        const auto row = [](const char *tag, const char *plant, const char *action,
                            const QString &shown, bool asMember = false) {
            QTest::newRow(tag) << plant << action << shown << asMember;
        };
        row("link at settings.ini", "settings.ini->@sentinel", "save new.png", saved);
        row("link at settings.ini, another member saves", "settings.ini->@sentinel", "save new.png",
            saved, true);
        row("link at the lock", "settings.ini.lock->@sentinel", "save new.png", saved);
        row("fifo at the lock", "fifo settings.ini.lock", "save new.png", saved);
        row("link at the wallpaper chosen as the image", "wallpaper.png->@secret.png",
            "save @share/wallpaper.png",
            "Выбранный файл нельзя установить как изображение:\n@share/wallpaper.png\nЭто не "
            "обычный файл");
        row("fifo at settings.ini", "fifo settings.ini", "load", "it is not a regular file");
        row("link at settings.ini, read", "settings.ini->@sentinel", "load",
            "it is a symbolic link");
        row("fifo as the image", "fifo picture.png", "preview @share/picture.png",
            "Не удалось прочитать изображение:\n@share/picture.png");
        row("a picture declaring 30000 x 30000", "", "save @data/declares-30000x30000.png",
            "Выбранный файл нельзя установить как изображение:\n@data/declares-30000x30000.png\n"
            "Изображение слишком большое: допустимо не более 67108864 точек (8192 × 8192).");
        row("a preview form the builder refuses",
            "preview.xml=<ui version=\"3.0\"><widget "
            "class=\"QWidget\" name=\"Form\"/></ui>",
            "preview new.png", "Не удалось открыть окно предпросмотра:\ncannot build the form");
        row("markup in the free text",
            "settings.ini=[Displaying]\nOver=true\nOverText=Каб. "
            "<b>101</b><img src=@sentinel>",
            "save new.png", saved);
    }

    void nothingPlantedReachesOutside()
    {
        QFETCH(QString, plant);
        QFETCH(QString, action);
        QFETCH(QString, shown);
        QFETCH(bool, asMember);
        if (asMember && Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction(), QTest::currentDataTag()));
            return;
        }
        TestEnvironment env;
        const auto expand = [&env](QString text) {
            return text.replace("@sentinel", env.path("outside/sentinel"))
                .replace("@secret.png", env.path("outside/secret.png"))
                .replace("@share", env.path("share"))
                .replace("@data", KORVEL_TEST_DATA "/images");
        };
        plant = expand(plant);
        action = expand(action);
        shown = expand(shown);
        env.writeFile("outside/sentinel", "export PATH=/usr/bin\n");
        QImage(8, 8, QImage::Format_RGB32).save(env.writeFile("outside/secret.png", {}));
        QFile::setPermissions(env.path("outside/secret.png"), QFile::ReadOwner);
        QImage(8, 8, QImage::Format_RGB32).save(env.writeFile("share/new.png", {}));
        const QByteArray before = outside(env);

        const QString name = plant.section(QRegularExpression("->|=| "), 0, 0);
        const QByteArray planted = QFile::encodeName(env.path("share/" + name));
        if (plant.contains("->"))
            QCOMPARE(::symlink(qPrintable(plant.section("->", 1)), planted.constData()), 0);
        else if (plant.startsWith("fifo "))
            QCOMPARE(::mkfifo(qPrintable(env.path("share/" + plant.mid(5))), 0666), 0);
        else if (plant.contains('='))
            env.writeFile("share/" + name, plant.section('=', 1).toUtf8());

        QElapsedTimer clock;
        clock.start();
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        std::unique_ptr<korvel::KorvelWindow> window;
        const QString printed = TestEnvironment::stderrOf([&] { window = env.makeWindow(); });
        const QString source = action.section(' ', 1);
        window->findChild<QLineEdit *>("lineBrowse")
            ->setText(source.startsWith('/') ? source : env.path("share/" + source));
        if (action.startsWith("save"))
            window->saveSettings();
        else if (action.startsWith("preview"))
            window->preview();
        QVERIFY2(clock.elapsed() < 5000, "a planted file held the program up");

        if (action == "load")
            QVERIFY2(printed.contains(shown), qPrintable(printed));
        else
            QVERIFY2(!answerer.seen().isEmpty() && answerer.seen().last().text.startsWith(shown),
                     qPrintable(answerer.seen().value(answerer.seen().size() - 1).text));
        QCOMPARE(outside(env), before);
        QCOMPARE(QDir(env.paths().tempDir).entryList(QDir::Files), QStringList());
        if (shown != QStringLiteral("Параметры сохранены!"))
            return;
        // A save replaces whatever was planted with a regular file that the group may write.
        struct stat status = {};
        QCOMPARE(::lstat(qPrintable(env.paths().settingsFile), &status), 0);
        QVERIFY(S_ISREG(status.st_mode));
        QCOMPARE(status.st_mode & 07777, mode_t(0664));
        // Markup is kept as the text it is, through loading and saving.
        const QString overText = plant.section("OverText=", 1);
        QCOMPARE(window->findChild<QTextEdit *>("textEdit")->toPlainText(), overText);
        QCOMPARE(env.settings().readDisplaySettings().values.OverText, overText);
    }

private:
    // Content, owner and mode of every file outside the shared folder.
    static QByteArray outside(const TestEnvironment &env)
    {
        QByteArray state;
        QDirIterator files(env.path("outside"), QDir::Files | QDir::System);
        while (files.hasNext()) {
            const QString path = files.next();
            struct stat status = {};
            ::lstat(qPrintable(path), &status);
            state += path.toUtf8() + ' ' + QByteArray::number(status.st_uid) + ' ' +
                     QByteArray::number(status.st_mode, 8) + ' ' +
                     QCryptographicHash::hash(TestEnvironment::readFile(path),
                                              QCryptographicHash::Sha256)
                         .toHex() +
                     '\n';
        }
        return state;
    }
};

QTEST_MAIN(TestSharedFolder)
#include "tst_sharedfolder.moc"
