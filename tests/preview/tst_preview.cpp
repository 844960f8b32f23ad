#include "helpers/ModalAnswerer.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"
#include "mainwindow/KorvelWindow.h"
#include "picture/PictureComposition.h"
#include "preview/PreviewWindow.h"
#include "preview/TemporaryImage.h"

#include <QtTest>
#include <QtWidgets>

#include <sys/stat.h>

using namespace korvel;

namespace {

const QString Images = QStringLiteral(KORVEL_TEST_DATA "/images/");

QList<QPointer<PreviewWindow>> livePreviews()
{
    QList<QPointer<PreviewWindow>> found;
    for (QWidget *widget : QApplication::topLevelWidgets())
        if (auto *preview = qobject_cast<PreviewWindow *>(widget))
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

const QString Jpeg = Images + QStringLiteral("halves.jpg");

constexpr int Expiry = PreviewWindow::ShowMilliseconds + 1500;

} // namespace

// The preview's picture, its file and its window.
class TestPreview : public QObject
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
        const QPointer<PreviewWindow> first = livePreviews().value(0);
        QVERIFY(first && first->isVisible() && first->isFullScreen() &&
                first->windowTitle().isEmpty() && first->parentWidget() == nullptr);
        QCOMPARE(first->geometry(), QApplication::desktop()->geometry());
        QCOMPARE(first->findChild<QLabel *>()->geometry(), first->rect());
        const QStringList files = tempFiles(env);
        QVERIFY(QRegularExpression("^\\d+\\.\\d+\\.png$").match(files.join(' ')).hasMatch()); // one
        // A second apart, so that load cannot make the two timers look like one.
        QTest::qWait(1000);
        pressPreview(*window, Images + QStringLiteral("clear.png")); // transparent
        const QPointer<PreviewWindow> second = livePreviews().value(livePreviews()[0] == first);
        QVERIFY(livePreviews().size() == 2 && tempFiles(env).size() == 2);
        // Each window shows exactly what its file holds, alpha included.
        for (const PreviewWindow *shown : {first.data(), second.data()}) {
            const QImage written(env.paths().tempDir + tempFiles(env).value(shown == second));
            QCOMPARE(shown->findChild<QLabel *>()
                         ->pixmap(Qt::ReturnByValue)
                         .toImage()
                         .convertToFormat(written.format()),
                     written);
        }
        // Closed early by the user, the first one still removes its file on time, and only its.
        QVERIFY(first->close());
        QTest::qWait(PreviewWindow::ShowMilliseconds - 1300);
        QCOMPARE(tempFiles(env).size(), 2);
        QTRY_VERIFY_WITH_TIMEOUT(first.isNull(), 2000);
        QVERIFY(second && second->isVisible() && !tempFiles(env).contains(files[0]));
        QTRY_VERIFY_WITH_TIMEOUT(second.isNull() && tempFiles(env).isEmpty(), 2000);
    }

    void warnsAndLeavesNothingBehind_data() { TestEnvironment::addRows("preview/failures.txt", 2); }

    void warnsAndLeavesNothingBehind()
    {
        QFETCH(QStringList, row);
        AS_NOBODY_IF(row[0].contains("locked"));
        const QString change = row[0];
        QString text = row[1];
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
        QCOMPARE(
            QStringList({box.className, box.title, box.text}),
            QStringList({"QMessageBox", "Ошибка!", text.replace("%1", dir).replace("%2", Images)}));
        QVERIFY(box.icon == QMessageBox::Warning && box.buttons == QMessageBox::Ok && box.answered);
        QCOMPARE(box.parent.data(), window.get());
        QVERIFY(livePreviews().isEmpty() && tempFiles(env).isEmpty());
    }

    void neverWritesThroughAPlantedLink()
    {
        TestEnvironment env;
        const QString victim = env.writeFile("victim.txt", "keep me");
        const QString tmp = env.paths().tempDir;
        QVERIFY(QFile::link(victim, tmp + "1700000000.0.png"));
        QVERIFY(QFile::link(env.path("nowhere"), tmp + "1700000000.5.png"));
        double next = 1700000000.0;
        const std::optional<QString> file = writeTemporaryImage(
            QImage(64, 48, QImage::Format_RGB32), tmp, [&] { return (next += 0.5) - 0.5; });
        QCOMPARE(file, std::optional<QString>(tmp + "1700000001.0.png"));
        QCOMPARE(TestEnvironment::readFile(victim), QByteArray("keep me"));
        QVERIFY(!QFile::exists(env.path("nowhere")));
        struct stat info;
        QVERIFY(::lstat(QFile::encodeName(*file).constData(), &info) == 0 &&
                (info.st_mode & 07777) == 0600);
    }
};

QTEST_MAIN(TestPreview)
#include "tst_preview.moc"
