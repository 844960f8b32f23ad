#include "helpers/TestEnvironment.h"
#include "mainwindow/KorvelWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryFile>
#include <QTextEdit>
#include <QtTest>

#include <cstdio>
#include <unistd.h>

namespace {

template <typename Widget> Widget *child(QWidget *window, const char *name)
{
    return window->findChild<Widget *>(QLatin1String(name));
}

// Collects what this process writes to its standard error stream meanwhile.
class StderrCapture
{
public:
    StderrCapture()
    {
        m_file.open();
        std::fflush(stderr);
        m_saved = ::dup(STDERR_FILENO);
        ::dup2(m_file.handle(), STDERR_FILENO);
    }
    ~StderrCapture() { finish(); }
    StderrCapture(const StderrCapture &) = delete;
    StderrCapture &operator=(const StderrCapture &) = delete;

    QString finish()
    {
        if (m_saved >= 0) {
            std::fflush(stderr);
            ::dup2(m_saved, STDERR_FILENO);
            ::close(m_saved);
            m_saved = -1;
            m_file.seek(0);
            m_text = QString::fromLocal8Bit(m_file.readAll());
        }
        return m_text;
    }

private:
    QTemporaryFile m_file;
    int m_saved = -1;
    QString m_text;
};

} // namespace

class TestLoadSettings : public QObject
{
    Q_OBJECT

private slots:
    void fillsTheForm_data()
    {
        QTest::addColumn<QByteArray>("file"); // null: no settings file
        QTest::addColumn<bool>("over");
        QTest::addColumn<bool>("textEnabled");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("color");
        QTest::addColumn<int>("fontSize");
        QTest::addColumn<QString>("position");
        QTest::addColumn<QStringList>("reported"); // keys named on stderr

        const QStringList none;
        QTest::newRow("missing file")
            << QByteArray() << false << false << "" << 0 << 8 << "left" << none;
        QTest::newRow("over of 1") << QByteArray("[Displaying]\nOver=1\nOverText=x\n") << true
                                   << false << "x" << 0 << 8 << "left" << none;
        QTest::newRow("over false with text")
            << QByteArray("[Displaying]\nOver=false\nOverText=Кабинет 12\\nЭтаж 3\n") << false
            << false << "Кабинет 12\nЭтаж 3" << 0 << 8 << "left" << none;
        QTest::newRow("over TRUE") << QByteArray("[Displaying]\nOver=TRUE\n") << true << false << ""
                                   << 0 << 8 << "left" << none;
        QTest::newRow("center, size 24")
            << QByteArray("[Settings]\nPosition=center\nFontSize=24\nColor=2\n") << false << false
            << "" << 2 << 24 << "center" << none;
        QTest::newRow("position in another case")
            << QByteArray("[Settings]\nPosition=Right\n") << false << false << "" << 0 << 8
            << "left" << none;
        QTest::newRow("color beyond the list, size too large")
            << QByteArray("[Settings]\nColor=7\nFontSize=500\nPosition=right\n") << false << false
            << "" << -1 << 200 << "right" << none;
        QTest::newRow("letters") << QByteArray(
                                        "[Settings]\nColor=abc\nFontSize=twelve\nPosition=center\n")
                                 << false << false << "" << 0 << 8 << "center"
                                 << QStringList{"Settings/Color", "Settings/FontSize"};
        QTest::newRow("overflow") << QByteArray("[Settings]\nColor=1\nFontSize=99999999999\n")
                                  << false << false << "" << 1 << 8 << "left"
                                  << QStringList{"Settings/FontSize"};
        QTest::newRow("empty") << QByteArray("[Settings]\nColor=\nFontSize=30\n") << false << false
                               << "" << 0 << 30 << "left" << QStringList{"Settings/Color"};
    }

    void fillsTheForm()
    {
        QFETCH(QByteArray, file);
        QFETCH(bool, over);
        QFETCH(bool, textEnabled);
        QFETCH(QString, text);
        QFETCH(int, color);
        QFETCH(int, fontSize);
        QFETCH(QString, position);
        QFETCH(QStringList, reported);
        TestEnvironment env;
        if (!file.isNull())
            env.writeFile(QStringLiteral("share/settings.ini"), file);

        StderrCapture capture;
        auto window = env.makeWindow();
        const QString printed = capture.finish();

        QCOMPARE(child<QCheckBox>(window.get(), "cbOver")->isChecked(), over);
        QCOMPARE(child<QTextEdit>(window.get(), "textEdit")->isEnabled(), textEnabled);
        QCOMPARE(child<QTextEdit>(window.get(), "textEdit")->toPlainText(), text);
        QCOMPARE(child<QComboBox>(window.get(), "comboBox")->currentIndex(), color);
        QCOMPARE(child<QSpinBox>(window.get(), "spinBox")->value(), fontSize);
        const char *radio = position == QLatin1String("left")     ? "radioButton"
                            : position == QLatin1String("center") ? "radioButton_2"
                                                                  : "radioButton_3";
        QVERIFY(child<QRadioButton>(window.get(), radio)->isChecked());
        for (const char *name :
             {"cbUsername", "cbIPaddress", "cbNetmask", "cbGateway", "cbHostname", "cbLogo"})
            QVERIFY(!child<QCheckBox>(window.get(), name)->isChecked());
        QCOMPARE(child<QLineEdit>(window.get(), "lineBrowse")->text(), QString());

        QCOMPARE(printed.count(QLatin1Char('\n')), reported.size());
        for (const QString &key : reported)
            QVERIFY2(printed.contains(key), qPrintable(printed));
    }
};

QTEST_MAIN(TestLoadSettings)
#include "tst_loadsettings.moc"
