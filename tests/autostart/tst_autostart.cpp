#include "autostart/AutostartCommand.h"
#include "autostart/AutostartEntry.h"
#include "autostart/AutostartSwitch.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"

#include <QDir>
#include <QtTest>

#include <sys/stat.h>

namespace {

const QString Entry = QStringLiteral("autostart/korvel-desktopinfo.desktop");

} // namespace

class TestAutostart : public QObject
{
    Q_OBJECT

private slots:
    void readingTheEntry_data() { TestEnvironment::addRows("autostart/read.txt", 4); }
    void readingTheEntry()
    {
        AS_NOBODY_IF(QTest::currentDataTag() == QByteArray("unreadable"));
        QFETCH(QStringList, row);
        TestEnvironment env;
        ::chmod(qPrintable(env.writeFile(Entry, row[1].toUtf8())),
                QTest::currentDataTag() == QByteArray("unreadable") ? 0200 : 0400);
        env.writeFile("bad.desktop", "Hidden=false\n\xc3\x28\n");
        env.writeFile("large.desktop", QByteArray(2 * 1024 * 1024, '#'));
        QVERIFY(::mkfifo(qPrintable(env.path("fifo.desktop")), 0644) == 0);
        const QString path = QDir(env.dir()).absoluteFilePath(row[0]);
        const korvel::AutostartReading reading = korvel::readAutostartEntry(path);
        QCOMPARE(QString(reading.enabled ? *reading.enabled ? "on" : "off" : "-"), row[2]);
        QCOMPARE(reading.failureText(path), row[3] == "-" ? QString() : row[3].arg(path));
    }

    void switchingTheEntry_data() { TestEnvironment::addRows("autostart/switch.txt", 5); }
    void switchingTheEntry()
    {
        AS_NOBODY_IF(QTest::currentDataTag() == QByteArray("no write access"));
        QFETCH(QStringList, row);
        const bool locked = QTest::currentDataTag() == QByteArray("no write access");
        TestEnvironment env;
        const QByteArray installed = TestEnvironment::readFile(env.paths().autostartEntry);
        const auto content = [&](const QString &field) {
            return field == "-" ? QByteArray() : field == "@installed" ? installed : field.toUtf8();
        };
        const QByteArray before = row[0] == "@installed"
                                      ? QByteArray(installed).replace("Hidden=true", "Hidden=false")
                                      : content(row[0]);
        const QByteArray expected = content(row[3]);
        const bool enable = row[1] == "on";
        // A name that the shell would split or run, were it not quoted.
        const QString entry = QStringLiteral("autostart/it's a $(touch pwned) -e;file.desktop");
        const QString path = before.isNull() ? env.path(entry) : env.writeFile(entry, before);
        const QString folder = QFileInfo(path).path();
        ::chmod(qPrintable(folder), locked ? 0500 : 0700);
        if (!row[2].isEmpty())
            env.paths().shell = row[2] == "-"
                                    ? env.path("bin/none")
                                    : env.writeFile("bin/shell", "#!/bin/bash\n" + row[2].toUtf8());
        ::chmod(qPrintable(env.path("bin/shell")), 0700);
        const QString failure = QString(row[4]).replace("%1", path).replace("%2", folder);
        const int star = failure.indexOf(QLatin1Char('*'));
        // Switched and back: the second run, when the first one changed the entry, gives back its
        // content.
        for (const bool on : {enable, !enable}) {
            const korvel::SwitchRun run =
                korvel::runSwitchCommand(env.paths().shell, korvel::autostartCommand(on, path));
            const QString text = run.succeeded() ? QStringLiteral("-") : run.failureText();
            QVERIFY2(text.startsWith(failure.left(star)) && text.endsWith(failure.mid(star + 1)),
                     qPrintable(text));
            QCOMPARE(TestEnvironment::readFile(path), on == enable ? expected : before);
            QVERIFY(!QFile::exists(QDir::current().filePath(QStringLiteral("pwned"))));
            if (expected == before)
                break;
        }
    }
};

QTEST_MAIN(TestAutostart)
#include "tst_autostart.moc"
