#include "helpers/TestEnvironment.h"
#include "settings/SettingsFile.h"

#include <QSettings>
#include <QtTest>

// The settings file: its text as Qt's settings layer writes it, and reading
// whatever a member of the group planted at its path.
class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void writesTextsAsTheSettingsLayer_data() { TestEnvironment::addRows("settings/texts.txt", 1); }
    void writesTextsAsTheSettingsLayer()
    {
        QFETCH(QStringList, row);
        TestEnvironment env;
        {
            QSettings layer(env.path("layer.ini"), QSettings::IniFormat);
            layer.setIniCodec("UTF-8");
            layer.setValue("Displaying/OverText", row[0]);
        }
        const QByteArray line = TestEnvironment::readFile(env.path("layer.ini")).split('\n')[1];
        korvel::DisplaySettings values;
        values.OverText = row[0];
        const QByteArray ours = korvel::SettingsFile::withValues({}, values);
        QVERIFY2(ours.contains('\n' + line + '\n'), ours.constData());
        QCOMPARE(korvel::readDisplaySettings(ours).values.OverText, row[0]);
    }

    // What a member plants (see TestEnvironment::plant) is read as no file or no value, and
    // the line for the standard error stream says why.
    void readsAPlantedFile_data()
    {
        QTest::addColumn<QString>("plant");
        QTest::addColumn<QString>("said");
        QTest::newRow("fifo") << "fifo settings.ini"
                              << "it is not a regular file";
        QTest::newRow("link") << "settings.ini->@outside/sentinel"
                              << "it is a symbolic link";
        QTest::newRow("hard link") << "settings.ini=>@outside/sentinel"
                                   << "it has 2 hard links; read as absent";
        // Values in the notation for objects are never decoded ("{TEXT*N}": TEXT N times).
        QTest::newRow("a list nested 60000 deep")
            << "settings.ini=[Displaying]\nOverText=@@Variant({\\0\\0\\0\\t\\0\\0\\0\\x1*60000})"
            << "Displaying/OverText: \"@Variant(\\x00\\x00\\x00\\x09\\x00";
        QTest::newRow("a terminal escape in a long value")
            << "settings.ini=[Settings]\nColor=\\x1b[2J0123456789012345678901234567890123456789"
            << "Settings/Color: \"\\x1b[2J012345678901234567890123456789012345…\" is not";
    }
    void readsAPlantedFile()
    {
        QFETCH(QString, plant);
        QFETCH(QString, said);
        TestEnvironment env;
        env.writeFile("outside/sentinel", "[Settings]\nColor=2\n");
        QVERIFY(env.plant(env.resolved(plant)));
        const korvel::StoredDisplaySettings read =
            korvel::SettingsFile(env.paths().settingsFile).readDisplaySettings();
        const QString lines = read.diagnostics(env.paths().settingsFile).join('\n');
        QVERIFY2(lines.contains(said), qPrintable(lines));
        QCOMPARE(read.values.Color, 0);
    }
};

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
