#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTextEdit>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

using Window = korvel::KorvelWindow;

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

// Everything the form shows, in one line: checked boxes, text, colour, size, position, image.
QString formState(QWidget *window)
{
    QStringList state;
    for (const char *name : {"cbUsername", "cbIPaddress", "cbNetmask", "cbGateway", "cbHostname",
                             "cbOver", "cbLogo", "radioButton", "radioButton_2", "radioButton_3"})
        if (child<QAbstractButton>(window, name)->isChecked())
            state << QLatin1String(name);
    const auto *text = child<QTextEdit>(window, "textEdit");
    state << (text->isEnabled() ? QStringLiteral("edit:") : QStringLiteral("text:")) +
                 text->toPlainText();
    state << QStringLiteral("color:%1").arg(child<QComboBox>(window, "comboBox")->currentIndex());
    state << QStringLiteral("size:%1").arg(child<QSpinBox>(window, "spinBox")->value());
    state << QStringLiteral("image:") + child<QLineEdit>(window, "lineBrowse")->text();
    return state.join(QLatin1Char(' '));
}

// A message box as one line: class, title, text, icon, buttons, parent.
QString box(const QString &className, const QString &title, const QString &text, int icon,
            int buttons, bool hadParent, const QWidget *parent)
{
    const QString owner = hadParent ? QString::number(quintptr(parent), 16) : QStringLiteral("-");
    return QStringList{className, title, text, QString::number(icon), QString::number(buttons),
                       owner}
        .join(QLatin1Char('|'));
}

// A parentless box with an Ok button.
QString box(const char *title, const QString &text, QMessageBox::Icon icon = QMessageBox::Warning)
{
    return box(QStringLiteral("QMessageBox"), QString::fromUtf8(title), text, icon, QMessageBox::Ok,
               false, nullptr);
}

QString question(QWidget *window)
{
    return box(QStringLiteral("QMessageBox"), QStringLiteral("Сохранение параметров"),
               QStringLiteral("Сохранить выбранные параметры?"), QMessageBox::Question,
               QMessageBox::Yes | QMessageBox::No, true, window);
}

QString saved()
{
    return box("Выполнено!", QStringLiteral("Параметры сохранены!"), QMessageBox::Information);
}

// Saves answering `answer`, then Ok; the boxes that showed.
QStringList save(Window *window, QMessageBox::StandardButton answer = QMessageBox::Yes)
{
    ModalAnswerer answerer;
    answerer.answerBox(answer);
    answerer.answerBox(QMessageBox::Ok);
    window->saveSettings();
    QStringList shown;
    for (const ModalAnswerer::Seen &s : answerer.seen())
        shown << box(s.className, s.title, s.text, s.icon, int(s.buttons), s.hadParent,
                     s.parent.data());
    return shown;
}

int mode(const QString &path)
{
    struct stat st = {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

QStringList entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

const QString Example = QStringLiteral(KORVEL_TEST_DATA "/settings/saved-example.ini");

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void savesTheExampleAndReopens()
    {
        TestEnvironment env;
        const QString image = makeImage(env, QStringLiteral("pictures/sea.png"), Qt::blue);
        const QString wallpaper = env.writeFile(QStringLiteral("share/wallpaper.png"), "old");
        ::chmod(QFile::encodeName(wallpaper).constData(), 0600);
        auto window = env.makeWindow();
        fillExample(window.get(), image);
        const mode_t umaskBefore = ::umask(077); // the wallpaper's mode does not depend on it
        QCOMPARE(save(window.get()), (QStringList{question(window.get()), saved()}));
        ::umask(umaskBefore);

        // Written at once, not left to the deferred write.
        QString written = QString::fromUtf8(TestEnvironment::readFile(env.paths().settingsFile));
        written.replace(wallpaper, QStringLiteral("/usr/share/korvel/desktopinfo/wallpaper.png"));
        written.replace(image, QStringLiteral("/home/user/pictures/sea.png"));
        QCOMPARE(written.split(QLatin1Char('\n')),
                 QString::fromUtf8(TestEnvironment::readFile(Example)).split(QLatin1Char('\n')));
        QCOMPARE(TestEnvironment::readFile(wallpaper), TestEnvironment::readFile(image));
        QCOMPARE(mode(wallpaper), 0664);
        QCOMPARE(entries(env.path(QStringLiteral("share"))).size(), 4); // forms, ini, png

        korvel::AppContext context = env.context();
        const korvel::SettingsFile reread(
            env.writeFile(QStringLiteral("reopen/settings.ini"),
                          TestEnvironment::readFile(env.paths().settingsFile)));
        context.settings = &reread;
        Window reopened(context);
        QCOMPARE(formState(&reopened), formState(window.get()));

        // The installed wallpaper as its own source, spelt differently: kept, with mode 0664.
        ::chmod(QFile::encodeName(wallpaper).constData(), 0600);
        const QString self = env.path(QStringLiteral("share/../share/./wallpaper.png"));
        child<QLineEdit>(window.get(), "lineBrowse")->setText(self);
        child<QCheckBox>(window.get(), "cbOver")->click();
        QCOMPARE(save(window.get()), (QStringList{question(window.get()), saved()}));
        QCOMPARE(TestEnvironment::readFile(wallpaper), TestEnvironment::readFile(image));
        QCOMPARE(mode(wallpaper), 0664);
        written = QString::fromUtf8(TestEnvironment::readFile(env.paths().settingsFile));
        QVERIFY2(written.contains("\nOriginalImage=" + self + '\n'), qPrintable(written));
        QVERIFY2(written.contains(QStringLiteral("\nOverText=\n")), qPrintable(written));
    }

    // As nobody, since root passes every permission check. "@source", "@wallpaper" and
    // "@settings" stand for the paths.
    void aFailedSaveChangesNothing_data()
    {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<QString>("source"); // below pictures/, or as it is
        QTest::addColumn<QString>("fault");  // what is read-only or in the way
        QTest::addColumn<QString>("text");   // of the box after the question; empty: none
        const auto row = [](const char *tag, bool yes, const char *source, const char *fault,
                            const QString &text) {
            QTest::newRow(tag) << yes << QString::fromUtf8(source) << QString::fromUtf8(fault)
                               << text;
        };
        const QString group = QStringLiteral(
            "Недостаточно прав для сохранения настроек\nПользователь должен быть в группе korvel");
        const QString image =
            QStringLiteral("Выбранный файл нельзя установить как изображение:\n@source\n");
        const QString special = image + "Это не обычный файл (например, канал или устройство).";
        const QString install = QStringLiteral("Не удалось установить изображение в "
                                               "файл:\n@wallpaper\n%1\nПараметры не сохранены.");
        row("no", false, "new.png", "file", {});
        row("no and no image", false, "", "file", {});
        row("yes and no image", true, "", "file", "Необходимо выбрать изображение");
        row("unwritable file", true, "new.png", "file", group);
        row("missing", true, "none.png", "", image + "Файл не найден.");
        row("folder", true, ".", "", image + "Это папка, а не файл.");
        row("fifo", true, "fifo", "", special);
        row("device", true, "/dev/zero", "", special);
        row("not an image", true, "notes.png", "", image + "Файл не является изображением.");
        row("empty", true, "empty.png", "", image + "Файл не является изображением.");
        row("blanks", true, "   ", "", image + "Файл не найден.");
        row("unreadable", true, "secret.png", "", image + "Нет прав на чтение файла.");
        row("too large", true, "huge.png", "", image + "Файл больше 256 МиБ.");
        row("wallpaper folder", true, "new.png", "walls",
            install.arg("Нет прав на запись в папку."));
        row("wallpaper is a folder", true, "new.png", "in the way",
            install.arg("Ошибка записи (код 21)."));
        row("settings folder", true, "new.png", "share", group);
    }

    void aFailedSaveChangesNothing()
    {
        if (Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction(), QTest::currentDataTag()));
            return;
        }
        QFETCH(bool, yes);
        QFETCH(QString, source);
        QFETCH(QString, fault);
        QFETCH(QString, text);
        TestEnvironment env;
        const QString walls = env.path(QStringLiteral("walls"));
        const QString share = env.path(QStringLiteral("share"));
        env.paths().wallpaper = walls + QStringLiteral("/wallpaper.png");
        const QString old = env.writeFile(
            fault == "in the way" ? "walls/wallpaper.png/old" : "walls/wallpaper.png", "old");
        const QByteArray before = TestEnvironment::readFile(Example);
        env.writeFile(QStringLiteral("share/settings.ini"), before);
        makeImage(env, QStringLiteral("pictures/new.png"), Qt::cyan);
        makeImage(env, QStringLiteral("pictures/secret.png"), Qt::red);
        QFile::setPermissions(env.path(QStringLiteral("pictures/secret.png")), QFile::WriteOwner);
        env.writeFile(QStringLiteral("pictures/notes.png"), "just some text\n");
        env.writeFile(QStringLiteral("pictures/empty.png"), {});
        QVERIFY(QFile::resize(env.writeFile(QStringLiteral("pictures/huge.png"), {}),
                              qint64(256) * 1024 * 1024 + 1)); // sparse: costs no disk
        const QString fifo = env.path(QStringLiteral("pictures/fifo"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        const QString path = source.startsWith(QLatin1Char('/')) || source.trimmed().isEmpty()
                                 ? source
                                 : env.path(QStringLiteral("pictures/") + source);
        const QStringList shareBefore = entries(share);
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner;
        if (fault == "file")
            QFile::setPermissions(env.paths().settingsFile, QFile::ReadOwner);
        if (fault == "walls" || fault == "share")
            QFile::setPermissions(fault == "walls" ? walls : share, readOnly);
        auto window = env.makeWindow();
        child<QRadioButton>(window.get(), "radioButton")->setChecked(true);
        child<QLineEdit>(window.get(), "lineBrowse")->setText(path);
        text.replace("@source", path).replace("@wallpaper", env.paths().wallpaper);
        text.replace("@settings", env.paths().settingsFile);
        QStringList failed{question(window.get())};
        if (!text.isEmpty())
            failed << box("Ошибка!", text);

        QCOMPARE(save(window.get(), yes ? QMessageBox::Yes : QMessageBox::No), failed);
        QCOMPARE(TestEnvironment::readFile(env.paths().settingsFile), before);
        QCOMPARE(TestEnvironment::readFile(old), QByteArray("old"));
        QCOMPARE(entries(walls), QStringList{QStringLiteral("wallpaper.png")});
        QCOMPARE(entries(share), shareBefore);
    }

    void loadsTheForm_data()
    {
        QTest::addColumn<QString>("file");     // null: no settings file
        QTest::addColumn<QString>("form");     // as formState() writes it; "@" for the usual rest
        QTest::addColumn<QString>("reported"); // keys named on standard error, one a line
        const auto row = [](const char *tag, const QString &file, const char *form,
                            const char *reported = "") {
            QTest::newRow(tag) << file << QString::fromUtf8(form) << QString::fromUtf8(reported);
        };
        row("missing file", QString(), "radioButton text: @");
        row("over of 1", "[Displaying]\nOver=1\nOverText=x", "cbOver radioButton text:x @");
        row("over false with text", "[Displaying]\nOver=false\nOverText=Кабинет 12\\nЭтаж 3",
            "radioButton text:Кабинет 12\nЭтаж 3 @");
        row("over TRUE", "[Displaying]\nOver=TRUE", "cbOver radioButton text: @");
        row("center, size 24", "[Settings]\nPosition=center\nFontSize=24\nColor=2",
            "radioButton_2 text: color:2 size:24 image:");
        row("position in another case", "[Settings]\nPosition=Right", "radioButton text: @");
        row("color beyond the list, size too large",
            "[Settings]\nColor=7\nFontSize=500\nPosition=right",
            "radioButton_3 text: color:-1 size:200 image:");
        row("int limits", "[Settings]\nColor=-2147483648\nFontSize=2147483647",
            "radioButton text: color:-1 size:200 image:");
        row("letters", "[Settings]\nColor=abc\nFontSize=twelve\nPosition=center",
            "radioButton_2 text: @", "Settings/Color\nSettings/FontSize");
        row("overflow", "[Settings]\nColor=1\nFontSize=99999999999",
            "radioButton text: color:1 size:8 image:", "Settings/FontSize");
        row("just above int, list", "[Settings]\nColor=1, 2\nFontSize=2147483648",
            "radioButton text: @", "Settings/Color\nSettings/FontSize");
        row("hex, fraction", "[Settings]\nColor=0x1\nFontSize=12.5", "radioButton text: @",
            "Settings/Color\nSettings/FontSize");
        // An int and a 64-bit number in the settings layer's own notation.
        row("typed values",
            "[Settings]\nColor=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x2)\n"
            "FontSize=@Variant(\\0\\0\\0\\x4\\0\\0\\x1\\0\\0\\0\\0\\0)",
            "radioButton text: color:2 size:8 image:", "Settings/FontSize");
        row("empty", "[Settings]\nColor=\nFontSize=30",
            "radioButton text: color:0 size:30 image:", "Settings/Color");
    }

    void loadsTheForm()
    {
        QFETCH(QString, file);
        QFETCH(QString, form);
        QFETCH(QString, reported);
        TestEnvironment env;
        if (!file.isNull())
            env.writeFile(QStringLiteral("share/settings.ini"), file.toUtf8() + '\n');
        std::unique_ptr<Window> window;
        const QString printed = TestEnvironment::stderrOf([&] { window = env.makeWindow(); });
        QCOMPARE(formState(window.get()), form.replace("@", "color:0 size:8 image:"));
        const QStringList keys = reported.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(printed.count(QLatin1Char('\n')), keys.size());
        for (const QString &key : keys)
            QVERIFY2(printed.contains(key), qPrintable(printed));
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
