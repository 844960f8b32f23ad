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

    // Rows of tests/data/settings/planted.txt.
    void readsAPlantedFile_data()
    {
        TestEnvironment::addRows("settings/planted.txt", {"plant", "said"});
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
