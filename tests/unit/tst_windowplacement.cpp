#include "app/WindowPlacement.h"

#include <QtTest>

class TestWindowPlacement : public QObject
{
    Q_OBJECT

private slots:
    void centredPosition_data()
    {
        QTest::addColumn<QSize>("desktop");
        QTest::addColumn<QSize>("window");
        QTest::addColumn<QPoint>("expected");
        QTest::newRow("fits") << QSize(800, 600) << QSize(500, 300) << QPoint(150, 150);
        QTest::newRow("odd difference rounds down")
            << QSize(800, 600) << QSize(333, 300) << QPoint(233, 150);
        QTest::newRow("wider than the desktop")
            << QSize(640, 480) << QSize(645, 480) << QPoint(-3, 0);
        QTest::newRow("taller by an even amount")
            << QSize(640, 480) << QSize(640, 484) << QPoint(0, -2);
        QTest::newRow("virtual desktop of two screens")
            << QSize(3840, 1080) << QSize(560, 600) << QPoint(1640, 240);
    }

    void centredPosition()
    {
        QFETCH(QSize, desktop);
        QFETCH(QSize, window);
        QFETCH(QPoint, expected);
        QCOMPARE(korvel::centredPosition(desktop, window), expected);
    }
};

QTEST_GUILESS_MAIN(TestWindowPlacement)
#include "tst_windowplacement.moc"
