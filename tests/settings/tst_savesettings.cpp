#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>

namespace {

template <typename Widget> Widget *child(QWidget *window, const char *name)
{
    return window->findChild<Widget *>(QLatin1String(name));
}

QString makeImage(const TestEnvironment &env, const QString &relative, const QColor &color)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(color);
    const QString path = env.writeFile(relative, {});
    image.save(path, "PNG");
    return path;
}

// The choices of the example file.
void fillExample(QWidget *window, const QString &image)
{
    for (const char *name : {"cbUsername", "cbIPaddress", "cbGateway", "cbHostname"})
        child<QCheckBox>(window, name)->setChecked(true);
    child<QCheckBox>(window, "cbOver")->click();
    child<QTextEdit>(window, "textEdit")->setPlainText(QStringLiteral("Кабинет 12"));
    child<QComboBox>(window, "comboBox")->setCurrentIndex(1);
    child<QSpinBox>(window, "spinBox")->setValue(20);
    child<QRadioButton>(window, "radioButton_3")->setChecked(true);
    child<QLineEdit>(window, "lineBrowse")->setText(image);
}

// Empty when the box shows what it should, else what differs.
QString boxMismatch(const ModalAnswerer::Seen &seen, const char *title, const QString &text,
                    QMessageBox::Icon icon, QMessageBox::StandardButtons buttons, QWidget *parent)
{
    QStringList wrong;
    if (seen.className != QLatin1String("QMessageBox"))
        wrong << QStringLiteral("class ") + seen.className;
    if (seen.title != QString::fromUtf8(title))
        wrong << QStringLiteral("title ") + seen.title;
    if (seen.text != text)
        wrong << QStringLiteral("text ") + seen.text;
    if (seen.icon != icon)
        wrong << QStringLiteral("icon %1").arg(seen.icon);
    if (seen.buttons != buttons)
        wrong << QStringLiteral("buttons %1").arg(int(seen.buttons));
    if (seen.hadParent != (parent != nullptr) || seen.parent.data() != parent)
        wrong << QStringLiteral("parent");
    return wrong.join(QStringLiteral("; "));
}

#define QCOMPARE_BOX(seen, title, text, icon, buttons, parent)                                     \
    do {                                                                                           \
        const QString mismatch = boxMismatch(seen, title, text, icon, buttons, parent);            \
        QVERIFY2(mismatch.isEmpty(), qPrintable(mismatch));                                        \
    } while (false)

QString question(const ModalAnswerer &a, QWidget *window)
{
    if (a.seen().isEmpty())
        return QStringLiteral("no box");
    return boxMismatch(a.seen().first(), "Сохранение параметров",
                       QStringLiteral("Сохранить выбранные параметры?"), QMessageBox::Question,
                       QMessageBox::Yes | QMessageBox::No, window);
}

QString warningText(const char *message)
{
    return QString::fromUtf8(message);
}

int mode(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QStringList folderEntries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

} // namespace

class TestSaveSettings : public QObject
{
    Q_OBJECT

private slots:
    void savesTheFileTheToolReads()
    {
        TestEnvironment env;
        const QString image = makeImage(env, QStringLiteral("pictures/sea.png"), Qt::blue);
        env.writeFile(QStringLiteral("share/wallpaper.png"), "old wallpaper");
        ::chmod(QFile::encodeName(env.paths().wallpaper).constData(), 0600);
        auto window = env.makeWindow();
        fillExample(window.get(), image);

        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        child<QPushButton>(window.get(), "pbSave")->click();

        QCOMPARE(answerer.seen().size(), 2);
        QVERIFY2(question(answerer, window.get()).isEmpty(),
                 qPrintable(question(answerer, window.get())));
        QCOMPARE_BOX(answerer.seen().at(1), "Выполнено!", QStringLiteral("Параметры сохранены!"),
                     QMessageBox::Information, QMessageBox::Ok, nullptr);

        // Written at once, not left to the deferred write.
        QString written = QString::fromUtf8(TestEnvironment::readFile(env.paths().settingsFile));
        written.replace(env.paths().wallpaper,
                        QStringLiteral("/usr/share/korvel/desktopinfo/wallpaper.png"));
        written.replace(image, QStringLiteral("/home/user/pictures/sea.png"));
        const QString expected = QString::fromUtf8(TestEnvironment::readFile(
            QStringLiteral(KORVEL_TEST_DATA "/settings/saved-example.ini")));
        QCOMPARE(written.split(QLatin1Char('\n')), expected.split(QLatin1Char('\n')));
        QCOMPARE(TestEnvironment::readFile(env.paths().wallpaper),
                 TestEnvironment::readFile(image));
        QCOMPARE(mode(env.paths().wallpaper), 0664);
        QCOMPARE(folderEntries(env.path(QStringLiteral("share"))).size(), 4); // forms, ini, png

        // A second window shows the same choices. Settings objects of one process
        // share a file's data, so it reads a copy of the file from the disk.
        korvel::AppContext context = env.context();
        const QString copy = env.writeFile(QStringLiteral("reopen/settings.ini"),
                                           TestEnvironment::readFile(env.paths().settingsFile));
        QSettings reread(copy, QSettings::IniFormat);
        reread.setIniCodec("UTF-8");
        context.settings = &reread;
        korvel::KorvelWindow reopened(context);
        for (const char *name : {"cbUsername", "cbIPaddress", "cbNetmask", "cbGateway",
                                 "cbHostname", "cbOver", "cbLogo"})
            QCOMPARE(child<QCheckBox>(&reopened, name)->isChecked(),
                     child<QCheckBox>(window.get(), name)->isChecked());
        QVERIFY(child<QTextEdit>(&reopened, "textEdit")->isEnabled());
        QCOMPARE(child<QTextEdit>(&reopened, "textEdit")->toPlainText(),
                 QStringLiteral("Кабинет 12"));
        QCOMPARE(child<QComboBox>(&reopened, "comboBox")->currentIndex(), 1);
        QCOMPARE(child<QSpinBox>(&reopened, "spinBox")->value(), 20);
        QVERIFY(child<QRadioButton>(&reopened, "radioButton_3")->isChecked());
        QCOMPARE(child<QLineEdit>(&reopened, "lineBrowse")->text(), image);
    }

    // As nobody: the settings file exists but is read-only for the user.
    void unwritableFileOrNoChoice_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("chooseImage");
        QTest::addColumn<QString>("warning");
        QTest::newRow("no") << false << true << QString();
        QTest::newRow("no and no image") << false << false << QString();
        QTest::newRow("yes and no image")
            << true << false << warningText("Необходимо выбрать изображение");
        QTest::newRow("yes") << true << true
                             << warningText(
                                    "Недостаточно прав для сохранения настроек\nПользователь "
                                    "должен быть в группе korvel");
    }

    void unwritableFileOrNoChoice()
    {
        if (Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction(), QTest::currentDataTag()));
            return;
        }
        QFETCH(bool, yes);
        QFETCH(bool, chooseImage);
        QFETCH(QString, warning);
        TestEnvironment env;
        const QString image = makeImage(env, QStringLiteral("sea.png"), Qt::green);
        const QByteArray old = "[Settings]\nColor=3\n";
        env.writeFile(QStringLiteral("share/settings.ini"), old);
        env.writeFile(QStringLiteral("share/wallpaper.png"), "old wallpaper");
        QFile::setPermissions(env.paths().settingsFile, QFile::ReadOwner | QFile::ReadGroup);
        auto window = env.makeWindow();
        child<QLineEdit>(window.get(), "lineBrowse")->setText(chooseImage ? image : QString());

        ModalAnswerer answerer;
        answerer.answerBox(yes ? QMessageBox::Yes : QMessageBox::No);
        answerer.answerBox(QMessageBox::Ok);
        window->saveSettings();

        QVERIFY2(question(answerer, window.get()).isEmpty(),
                 qPrintable(question(answerer, window.get())));
        QCOMPARE(answerer.seen().size(), warning.isEmpty() ? 1 : 2);
        if (!warning.isEmpty())
            QCOMPARE_BOX(answerer.seen().at(1), "Ошибка!", warning, QMessageBox::Warning,
                         QMessageBox::Ok, nullptr);
        QCOMPARE(TestEnvironment::readFile(env.paths().settingsFile), old);
        QCOMPARE(TestEnvironment::readFile(env.paths().wallpaper), QByteArray("old wallpaper"));
    }

    void refusesAnUnusableImage_data()
    {
        QTest::addColumn<QString>("source"); // below the test folder, or absolute
        QTest::addColumn<QString>("reason");
        QTest::newRow("missing") << "pictures/none.png"
                                 << "Файл не найден.";
        QTest::newRow("folder") << "pictures"
                                << "Это папка, а не файл.";
        QTest::newRow("fifo") << "pictures/fifo"
                              << "Это не обычный файл (например, канал или устройство).";
        QTest::newRow("device") << "/dev/zero"
                                << "Это не обычный файл (например, канал или устройство).";
        QTest::newRow("not an image") << "pictures/notes.png"
                                      << "Файл не является изображением.";
        QTest::newRow("empty") << "pictures/empty.png"
                               << "Файл не является изображением.";
        QTest::newRow("blanks") << "   "
                                << "Файл не найден.";
        QTest::newRow("unreadable") << "pictures/secret.png"
                                    << "Нет прав на чтение файла.";
    }

    void refusesAnUnusableImage()
    {
        if (QByteArray(QTest::currentDataTag()) == "unreadable" && Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction(), QTest::currentDataTag()));
            return;
        }
        QFETCH(QString, source);
        QFETCH(QString, reason);
        TestEnvironment env;
        env.writeFile(QStringLiteral("pictures/notes.png"), "just some text\n");
        env.writeFile(QStringLiteral("pictures/empty.png"), {});
        makeImage(env, QStringLiteral("pictures/secret.png"), Qt::red);
        QFile::setPermissions(env.path(QStringLiteral("pictures/secret.png")), QFile::WriteOwner);
        QCOMPARE(::mkfifo(QFile::encodeName(env.path(QStringLiteral("pictures/fifo"))).constData(),
                          0644),
                 0);
        env.writeFile(QStringLiteral("share/wallpaper.png"), "old wallpaper");
        const QString path = source.startsWith(QLatin1Char('/')) || source.trimmed().isEmpty()
                                 ? source
                                 : env.path(source);
        auto window = env.makeWindow();
        child<QLineEdit>(window.get(), "lineBrowse")->setText(path);

        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        window->saveSettings();

        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE_BOX(answerer.seen().at(1), "Ошибка!",
                     QStringLiteral("Выбранный файл нельзя установить как изображение:\n%1\n%2")
                         .arg(path, reason),
                     QMessageBox::Warning, QMessageBox::Ok, nullptr);
        QVERIFY(!QFile::exists(env.paths().settingsFile));
        QCOMPARE(TestEnvironment::readFile(env.paths().wallpaper), QByteArray("old wallpaper"));
        QCOMPARE(folderEntries(env.path(QStringLiteral("share"))).size(), 3);
    }

    void theInstalledWallpaperAsItsOwnSource()
    {
        TestEnvironment env;
        makeImage(env, QStringLiteral("share/wallpaper.png"), Qt::yellow);
        const QByteArray content = TestEnvironment::readFile(env.paths().wallpaper);
        ::chmod(QFile::encodeName(env.paths().wallpaper).constData(), 0600);
        // Another spelling of the same file.
        const QString source = env.path(QStringLiteral("share/../share/./wallpaper.png"));
        auto window = env.makeWindow();
        child<QLineEdit>(window.get(), "lineBrowse")->setText(source);
        child<QTextEdit>(window.get(), "textEdit")->setPlainText(QStringLiteral("not shown"));

        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        window->saveSettings();

        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().at(1).title, QStringLiteral("Выполнено!"));
        QCOMPARE(TestEnvironment::readFile(env.paths().wallpaper), content);
        QCOMPARE(mode(env.paths().wallpaper), 0664);
        QSettings written(env.paths().settingsFile, QSettings::IniFormat);
        QCOMPARE(written.value("Settings/OriginalImage").toString(), source);
        QCOMPARE(written.value("Settings/Image").toString(), env.paths().wallpaper);
        QCOMPARE(written.value("Displaying/OverText"), QVariant(QString())); // cbOver unchecked
    }

    // The wallpaper cannot be replaced: nothing changes, the old one stays.
    void failedInstallChangesNothing_data()
    {
        QTest::addColumn<bool>("folderReadOnly"); // else the wallpaper path is a folder
        QTest::addColumn<QString>("reason");
        QTest::newRow("read-only folder") << true << "Нет прав на запись в папку.";
        QTest::newRow("target is a folder") << false << "Ошибка записи (код 21).";
    }

    void failedInstallChangesNothing()
    {
        QFETCH(bool, folderReadOnly);
        QFETCH(QString, reason);
        if (folderReadOnly && Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction(), QTest::currentDataTag()));
            return;
        }
        TestEnvironment env;
        const QString walls = env.path(QStringLiteral("walls"));
        env.paths().wallpaper = walls + QStringLiteral("/wallpaper.png");
        if (folderReadOnly)
            env.writeFile(QStringLiteral("walls/wallpaper.png"), "old wallpaper");
        else
            env.writeFile(QStringLiteral("walls/wallpaper.png/old"), "old wallpaper");
        const QByteArray before = TestEnvironment::readFile(
            QStringLiteral(KORVEL_TEST_DATA "/settings/saved-example.ini"));
        env.writeFile(QStringLiteral("share/settings.ini"), before);
        if (folderReadOnly)
            QFile::setPermissions(walls, QFile::ReadOwner | QFile::ExeOwner);
        auto window = env.makeWindow();
        fillExample(window.get(), makeImage(env, QStringLiteral("new.png"), Qt::cyan));
        child<QRadioButton>(window.get(), "radioButton")->setChecked(true);

        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        window->saveSettings();

        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE_BOX(answerer.seen().at(1), "Ошибка!",
                     QStringLiteral("Не удалось установить изображение в файл:\n%1\n%2\nПараметры "
                                    "не сохранены.")
                         .arg(env.paths().wallpaper, reason),
                     QMessageBox::Warning, QMessageBox::Ok, nullptr);
        QCOMPARE(TestEnvironment::readFile(env.paths().settingsFile), before);
        QCOMPARE(env.settings().value("Settings/Position").toString(), QStringLiteral("right"));
        const QString old = folderReadOnly ? env.paths().wallpaper : env.paths().wallpaper + "/old";
        QCOMPARE(TestEnvironment::readFile(old), QByteArray("old wallpaper"));
        QCOMPARE(folderEntries(walls), QStringList{QStringLiteral("wallpaper.png")});
    }

    // As nobody: the file may be written, its folder not. The settings layer
    // replaces the file through a new file in that folder and fails.
    void settingsFolderNotWritable()
    {
        if (Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction()));
            return;
        }
        TestEnvironment env;
        env.paths().wallpaper = env.path(QStringLiteral("walls/wallpaper.png"));
        env.writeFile(QStringLiteral("walls/wallpaper.png"), "old wallpaper");
        const QByteArray before = "[Settings]\nColor=3\n";
        env.writeFile(QStringLiteral("share/settings.ini"), before);
        const QString share = env.path(QStringLiteral("share"));
        QFile::setPermissions(share, QFile::ReadOwner | QFile::ExeOwner);
        auto window = env.makeWindow();
        fillExample(window.get(), makeImage(env, QStringLiteral("new.png"), Qt::magenta));

        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        window->saveSettings();

        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE_BOX(answerer.seen().at(1), "Ошибка!",
                     QStringLiteral("Не удалось записать настройки в файл:\n%1\nПараметры не "
                                    "сохранены, изображение не изменено.")
                         .arg(env.paths().settingsFile),
                     QMessageBox::Warning, QMessageBox::Ok, nullptr);
        QCOMPARE(TestEnvironment::readFile(env.paths().settingsFile), before);
        QCOMPARE(TestEnvironment::readFile(env.paths().wallpaper), QByteArray("old wallpaper"));
        QCOMPARE(folderEntries(env.path(QStringLiteral("walls"))).size(), 1);
        // Memory agrees with the file again: a later write brings nothing back.
        QCOMPARE(env.settings().value("Settings/Color").toString(), QStringLiteral("3"));
        QVERIFY(!env.settings().contains("Settings/OriginalImage"));
        env.settings().sync();
        QCOMPARE(TestEnvironment::readFile(env.paths().settingsFile), before);

        // Once the folder is writable, the same object saves, and says so.
        QFile::setPermissions(share, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        answerer.clear();
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        window->saveSettings();
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().at(1).title, QStringLiteral("Выполнено!"));
        QVERIFY(QString::fromUtf8(TestEnvironment::readFile(env.paths().settingsFile))
                    .contains(QStringLiteral("OverText=Кабинет 12\n")));

        // And a failure after that is seen again.
        QFile::setPermissions(share, QFile::ReadOwner | QFile::ExeOwner);
        answerer.clear();
        answerer.answerBox(QMessageBox::Yes);
        answerer.answerBox(QMessageBox::Ok);
        child<QSpinBox>(window.get(), "spinBox")->setValue(30);
        window->saveSettings();
        QCOMPARE(answerer.seen().size(), 2);
        QCOMPARE(answerer.seen().at(1).title, QStringLiteral("Ошибка!"));
        QFile::setPermissions(share, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
};

QTEST_MAIN(TestSaveSettings)
#include "tst_savesettings.moc"
