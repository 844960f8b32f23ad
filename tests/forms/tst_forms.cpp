#include "forms/FormClass.h"
#include "forms/StartupError.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace korvel;

// The installed forms, read at every start: a form that could not be
// trusted or read is refused with an error naming the file and why.
class TestForms : public QObject
{
    Q_OBJECT

private slots:
    // Rows of tests/data/forms/broken.txt: the form file's content, or a mode (0: none), another
    // owner or a link for the packaged form.
    void rejectsABrokenForm_data()
    {
        QTest::addColumn<QByteArray>("content"); // "-": no file
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("owner");
        QTest::addColumn<bool>("link");
        QTest::addColumn<QString>("error");
        for (const TestEnvironment::Row &row : TestEnvironment::readRows("forms/broken.txt", 2)) {
            const QString &to = row.fields[0];
            QTest::newRow(row.tag.constData())
                << to.toUtf8() << to.mid(1).toInt(nullptr, 8) << (to == "@owner") << (to == "@link")
                << row.fields[1];
        }
    }
    void rejectsABrokenForm()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(bool, owner);
        QFETCH(bool, link);
        QFETCH(QString, error);
        TestEnvironment env;
        const QString path = content == "-" ? env.path("none.xml") : env.paths().mainForm;
        const QByteArray native = QFile::encodeName(path);
        if (!content.startsWith('@') && content != "-")
            env.writeFile("share/korvelDesktopinfoGui.xml", content);
        if (owner && !Unprivileged::isRoot())
            QSKIP("only root can give a file away");
        QVERIFY(!owner || ::chown(native.constData(), Unprivileged::Uid, Unprivileged::Gid) == 0);
        QVERIFY(mode == 0 || ::chmod(native.constData(), mode_t(mode)) == 0);
        if (link) // the form renamed away, a link to it in its place
            QVERIFY(QFile::rename(path, path + ".moved") && QFile::link(path + ".moved", path));
        try {
            FormClass::fromFile(path, QStringLiteral("QMainWindow")).verify();
            QFAIL("the form was taken");
        } catch (const StartupError &e) {
            const QString what = QString::fromUtf8(e.what());
            QVERIFY2(what.contains(error) && what.contains(path), e.what());
        }
    }
};

QTEST_MAIN(TestForms)
#include "tst_forms.moc"
