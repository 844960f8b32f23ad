#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "mainwindow/KorvelWindow.h"
#include "preview/previewWindow.h"

#include <QApplication>
#include <QDesktopWidget>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QtTest>

using korvel::KorvelWindow;
using korvel::previewWindow;

namespace {

constexpr int Expiry = previewWindow::ShowMilliseconds + 1500;

QList<QPointer<previewWindow>> livePreviews()
{
    QList<QPointer<previewWindow>> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *preview = qobject_cast<previewWindow *>(widget))
            found.append(preview);
    }
    return found;
}

QStringList tempFiles(const TestEnvironment &env)
{
    return QDir(env.paths().tempDir).entryList(QDir::Files | QDir::System | QDir::Hidden);
}

// Sets the image path and presses the preview button.
void pressPreview(KorvelWindow &window, const QString &image)
{
    window.findChild<QLineEdit *>(QStringLiteral("lineBrowse"))->setText(image);
    window.findChild<QPushButton *>(QStringLiteral("pushButton"))->click();
}

QString writeImage(const TestEnvironment &env)
{
    QImage image(320, 200, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    const QString path = env.path(QStringLiteral("chosen.jpg"));
    image.save(path);
    return path;
}

} // namespace

class TestPreviewWindow : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { QTRY_VERIFY_WITH_TIMEOUT(livePreviews().isEmpty(), Expiry); }

    void showsThePreviewFullScreenForThreeSeconds()
    {
        TestEnvironment env;
        auto window = env.makeWindow();
        pressPreview(*window, writeImage(env));
        const auto shown = livePreviews();
        QCOMPARE(shown.size(), 1);
        QVERIFY(shown[0]->isVisible() && shown[0]->isFullScreen());
        QCOMPARE(shown[0]->windowTitle(), QString());
        QCOMPARE(shown[0]->parentWidget(), nullptr);
        const QStringList files = tempFiles(env);
        QCOMPARE(files.size(), 1);
        QVERIFY2(
            QRegularExpression(QStringLiteral("^\\d+\\.\\d+\\.png$")).match(files[0]).hasMatch(),
            qPrintable(files[0]));
        // The picture stays when the file goes away early.
        QVERIFY(QFile::remove(env.paths().tempDir + files[0]));
        const QLabel *label = shown[0]->findChild<QLabel *>();
        QApplication::processEvents();
        QCOMPARE(label->pixmap(Qt::ReturnByValue).size(), QApplication::desktop()->size());
        QCOMPARE(label->geometry(), QRect(QPoint(0, 0), QApplication::desktop()->size()));

        QTest::qWait(previewWindow::ShowMilliseconds - 500);
        QVERIFY(shown[0] && shown[0]->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(shown[0].isNull(), 2000);
    }

    void removesTheFileAlsoWhenClosedEarly()
    {
        TestEnvironment env;
        auto window = env.makeWindow();
        const QString image = writeImage(env);
        pressPreview(*window, image);
        const QPointer<previewWindow> first = livePreviews().value(0);
        QTest::qWait(300);
        pressPreview(*window, image);
        QList<QPointer<previewWindow>> shown = livePreviews();
        QCOMPARE(shown.size(), 2);
        if (shown[0] != first)
            shown.swapItemsAt(0, 1);
        QCOMPARE(tempFiles(env).size(), 2);
        QVERIFY(shown[0]->close());
        QTest::qWait(previewWindow::ShowMilliseconds - 600);
        QCOMPARE(tempFiles(env).size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(shown[0].isNull(), 2000);
        QVERIFY(shown[1] && shown[1]->isVisible());
        QCOMPARE(tempFiles(env).size(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(shown[1].isNull(), 2000);
        QCOMPARE(tempFiles(env), QStringList());
    }

    void releasesEveryWindowAfterItsTimer()
    {
        TestEnvironment env;
        auto window = env.makeWindow();
        const QString image = writeImage(env);
        for (int i = 0; i < 20; ++i)
            pressPreview(*window, image);
        QCOMPARE(livePreviews().size(), 20);
        QCOMPARE(tempFiles(env).size(), 20);
        QTRY_VERIFY_WITH_TIMEOUT(livePreviews().isEmpty(), Expiry);
        QCOMPARE(tempFiles(env), QStringList());
    }

    void warnsAndLeavesNothingBehind_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("font");
        QTest::addColumn<QString>("tempDir");
        QTest::addColumn<QString>("text");
        const QString huge = QStringLiteral(KORVEL_TEST_DATA "/images/declares-30000x30000.png");
        QTest::newRow("no image chosen") << ""
                                         << ""
                                         << ""
                                         << "Необходимо выбрать изображение";
        QTest::newRow("missing image") << "missing.png"
                                       << ""
                                       << ""
                                       << "Не удалось прочитать изображение:\n%1missing.png";
        QTest::newRow("not an image") << "text.png"
                                      << ""
                                      << ""
                                      << "Не удалось прочитать изображение:\n%1text.png";
        QTest::newRow("too large") << huge << ""
                                   << ""
                                   << "Изображение слишком большое:\n" + huge;
        QTest::newRow("missing font") << "chosen.jpg"
                                      << "none.ttf"
                                      << ""
                                      << "Не удалось загрузить шрифт:\n%1none.ttf";
        QTest::newRow("temporary folder not writable")
            << "chosen.jpg"
            << ""
            << "gone/"
            << "Не удалось записать временный файл в %1gone/";
    }

    void warnsAndLeavesNothingBehind()
    {
        QFETCH(QString, image);
        QFETCH(QString, font);
        QFETCH(QString, tempDir);
        QFETCH(QString, text);
        TestEnvironment env;
        writeImage(env);
        env.writeFile(QStringLiteral("text.png"), "no picture");
        const QString dir = env.dir() + QLatin1Char('/');
        if (!font.isEmpty())
            env.paths().font = dir + font;
        if (!tempDir.isEmpty())
            env.paths().tempDir = dir + tempDir;
        auto window = env.makeWindow();
        ModalAnswerer answerer;
        answerer.answerBox(QMessageBox::Ok);
        pressPreview(*window, image.isEmpty() || image.startsWith('/') ? image : dir + image);

        QCOMPARE(answerer.seen().size(), 1);
        const ModalAnswerer::Seen &box = answerer.seen().first();
        QCOMPARE(box.className, QStringLiteral("QMessageBox"));
        QCOMPARE(box.title, QStringLiteral("Ошибка!"));
        QCOMPARE(box.text, text.contains("%1") ? text.arg(dir) : text);
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
