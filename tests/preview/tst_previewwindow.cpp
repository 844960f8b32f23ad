#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"
#include "preview/previewWindow.h"

#include <QtTest>
#include <QtWidgets>

using korvel::previewWindow;

namespace {

QList<QPointer<previewWindow>> livePreviews()
{
    QList<QPointer<previewWindow>> found;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *preview = qobject_cast<previewWindow *>(widget))
            found.append(preview);
    return found;
}

QStringList tempFiles(const TestEnvironment &env)
{
    return QDir(env.paths().tempDir).entryList(QDir::Files | QDir::System | QDir::Hidden);
}

// Sets the image path and presses the preview button.
void pressPreview(QWidget &window, const QString &image)
{
    window.findChild<QLineEdit *>(QStringLiteral("lineBrowse"))->setText(image);
    window.findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
}

const QString Images = QStringLiteral(KORVEL_TEST_DATA "/images/");
const QString Jpeg = Images + QStringLiteral("halves.jpg");

constexpr int Expiry = previewWindow::ShowMilliseconds + 1500;

} // namespace

class TestPreviewWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY_WITH_TIMEOUT(livePreviews().isEmpty(), Expiry); }

    // Two quick previews, the first one closed early by the user.
    void showsEachPreviewForThreeSecondsThenRemovesItsFile()
    {
        TestEnvironment env;
        // A preview form with a layout of its own still shows the whole picture.
        env.writeFile(QStringLiteral("share/preview.xml"),
                      "<ui version=\"4.0\"><widget class=\"QWidget\" name=\"Form\">"
                      "<layout class=\"QVBoxLayout\" name=\"l\"><item><spacer name=\"s\"/>"
                      "</item></layout></widget></ui>");
        auto window = env.makeWindow();
        pressPreview(*window, Jpeg);
        const QPointer<previewWindow> first = livePreviews().value(0);
        QVERIFY(first && first->isVisible() && first->isFullScreen());
        QCOMPARE(first->geometry(), QApplication::desktop()->geometry());
        QCOMPARE(first->findChild<QLabel *>()->geometry(), first->rect());
        QCOMPARE(first->windowTitle(), QString());
        QCOMPARE(first->parentWidget(), nullptr);
        const QStringList files = tempFiles(env);
        QVERIFY(QRegularExpression("^\\d+\\.\\d+\\.png$").match(files.join(' ')).hasMatch()); // one
        // A second apart, so that load cannot make the two timers look like one.
        QTest::qWait(1000);
        pressPreview(*window, Images + QStringLiteral("clear.png")); // transparent
        QCOMPARE(livePreviews().size(), 2);
        const QPointer<previewWindow> second = livePreviews().value(livePreviews()[0] == first);
        QCOMPARE(tempFiles(env).size(), 2);
        // Each window shows exactly what its file holds, alpha included.
        for (const previewWindow *shown : {first.data(), second.data()}) {
            const QString file = env.paths().tempDir + tempFiles(env).value(shown == second);
            const QImage written(file);
            QCOMPARE(written.size(), QApplication::desktop()->size());
            QCOMPARE(shown->findChild<QLabel *>()
                         ->pixmap(Qt::ReturnByValue)
                         .toImage()
                         .convertToFormat(written.format()),
                     written);
        }
        QVERIFY(first->close());
        QTest::qWait(previewWindow::ShowMilliseconds - 1300);
        QCOMPARE(tempFiles(env).size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2000);
        QVERIFY(second && second->isVisible());
        QCOMPARE(tempFiles(env).size(), 1);
        QVERIFY(!tempFiles(env).contains(files[0]));
        QTRY_VERIFY_WITH_TIMEOUT(second.isNull(), 2000);
        QCOMPARE(tempFiles(env), QStringList());
    }

    // Twenty previews: each window keeps its picture without its file and is released.
    void releasesEveryWindowAfterItsTimer()
    {
        TestEnvironment env;
        auto window = env.makeWindow();
        for (int i = 0; i < 20; ++i)
            pressPreview(*window, Jpeg);
        QCOMPARE(livePreviews().size(), 20);
        QCOMPARE(tempFiles(env).size(), 20);
        QVERIFY(QFile::remove(env.paths().tempDir + tempFiles(env).value(0)));
        QApplication::processEvents();
        for (const auto &shown : livePreviews()) {
            const QLabel *label = shown->findChild<QLabel *>();
            QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), QApplication::desktop()->size());
            QCOMPARE(label->geometry(), QRect(QPoint(0, 0), QApplication::desktop()->size()));
        }
        QTRY_VERIFY_WITH_TIMEOUT(livePreviews().isEmpty(), Expiry);
        QCOMPARE(tempFiles(env), QStringList());
    }

    void warnsAndLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QString>("text");
        QFile cases(QStringLiteral(KORVEL_TEST_DATA "/preview/failures.txt"));
        QVERIFY(cases.open(QIODevice::ReadOnly));
        for (const QString &line : QString::fromUtf8(cases.readAll()).split('\n')) {
            const QStringList f = line.split(QStringLiteral(" | "));
            if (f.size() == 3 && !line.startsWith('#'))
                QTest::newRow(qPrintable(f[0])) << f[1] << QString(f[2]).replace("\\n", "\n");
        }
    }

    void warnsAndLeavesNothingBehind()
    {
        QFETCH(QString, change);
        QFETCH(QString, text);
        if (change.contains("locked") && Unprivileged::isRoot()) {
            QVERIFY(Unprivileged::rerun(QTest::currentTestFunction(), QTest::currentDataTag()));
            return;
        }
        TestEnvironment env;
        const QString dir = env.dir() + QLatin1Char('/');
        env.writeFile(QStringLiteral("text.png"), "no picture");
        QVERIFY(QFile::setPermissions(
            env.writeFile("locked.ttf", TestEnvironment::readFile(env.paths().font)),
            QFileDevice::WriteOwner));
        const QString what = change.section('=', 0, 0),
                      value = change.section('=', 1).replace("%1", dir).replace("%2", Images);
        if (what == "font")
            env.paths().font = value;
        if (what == "tmp")
            env.paths().tempDir = value;
        auto window = env.makeWindow();
        auto *size = window->findChild<QSpinBox *>(QStringLiteral("spinBox"));
        size->setRange(0, 100000);
        size->setValue(what == "size" ? value.toInt() : size->value());
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        QElapsedTimer timer;
        timer.start();
        pressPreview(*window, what == "image" ? value : Jpeg);
        QVERIFY(timer.elapsed() < 5000); // the declared size is refused before decoding

        QCOMPARE(answerer.seen().size(), 1);
        const ModalAnswerer::Seen &box = answerer.seen().first();
        QCOMPARE(box.className, QStringLiteral("QMessageBox"));
        QCOMPARE(box.title, QStringLiteral("Ошибка!"));
        QCOMPARE(box.text, text.replace("%1", dir).replace("%2", Images));
        QCOMPARE(box.icon, QMessageBox::Warning);
        QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
        QCOMPARE(box.parent.data(), window.get());
        QVERIFY(box.answered);
        QVERIFY(livePreviews().isEmpty());
        QCOMPARE(tempFiles(env), QStringList());
    }
};

QTEST_MAIN(TestPreviewWindow)
#include "tst_previewwindow.moc"
