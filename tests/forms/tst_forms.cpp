#include "forms/FormClass.h"
#include "forms/StartupError.h"
#include "helpers/TestEnvironment.h"
#include "helpers/Unprivileged.h"

#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace korvel;

namespace {

// What is done to the installed main form.
enum class Change { Content, NoFile, Mode, Owner, Link };

} // namespace

Q_DECLARE_METATYPE(Change)

// The installed forms, read at every start: a form that could not be
// trusted or read is refused with an error naming the file and why.
class TestForms : public QObject
{
    Q_OBJECT

private slots:
    // Rows of tests/data/forms/broken.txt.
    void rejectsABrokenForm_data()
    {
        QTest::addColumn<Change>("change");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("mode");
        QTest::addColumn<QString>("error");
        for (const TestEnvironment::Row &row : TestEnvironment::readRows("forms/broken.txt", 2)) {
            const QString &to = row.fields[0];
            const Change change = to == "-"            ? Change::NoFile
                                  : to == "@owner"     ? Change::Owner
                                  : to == "@link"      ? Change::Link
                                  : to.startsWith('@') ? Change::Mode
                                                       : Change::Content;
            QTest::newRow(row.tag.constData())
                << change << to.toUtf8() << to.mid(1).toInt(nullptr, 8) << row.fields[1];
        }
    }
    void rejectsABrokenForm()
    {
        QFETCH(Change, change);
        QFETCH(QByteArray, content);
        QFETCH(int, mode);
        QFETCH(QString, error);
        TestEnvironment env;
        QString path = env.paths().mainForm;
        const QByteArray native = QFile::encodeName(path);
        switch (change) {
        case Change::Content:
            env.writeFile("share/korvelDesktopinfoGui.xml", content);
            break;
        case Change::NoFile:
            path = env.path("none.xml");
            break;
        case Change::Mode:
            QCOMPARE(::chmod(native.constData(), mode_t(mode)), 0);
            break;
        case Change::Owner:
            if (!Unprivileged::isRoot())
                QSKIP("only root can give a file away");
            QCOMPARE(::chown(native.constData(), Unprivileged::Uid, Unprivileged::Gid), 0);
            break;
        case Change::Link: // the form renamed away, a link to it in its place
            QVERIFY(QFile::rename(path, path + ".moved") && QFile::link(path + ".moved", path));
            break;
        }
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
