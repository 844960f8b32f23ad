#include "preview/CollectSystemInfo.h"
#include "preview/HostSource.h"
#include "preview/InfoText.h"
#include "preview/RouteTable.h"
#include "preview/TemporaryImage.h"

#include <QProcess>
#include <QtTest>

#include <sched.h>
#include <unistd.h>

using namespace korvel;
using Entries = QVector<InterfaceEntry>;
Q_DECLARE_METATYPE(korvel::SystemInfo)

namespace {

QByteArray readData(const QString &name)
{
    QFile file(QStringLiteral(KORVEL_TEST_DATA "/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Canned facts that count the lookups made.
class FakeHost : public HostSource
{
public:
    explicit FakeHost(Entries entries) : m_entries(std::move(entries)) {}
    std::optional<Entries> interfaces() const override { return ++calls, m_entries; }
    std::optional<QString> loginName() const override { return ++calls, QStringLiteral("anna"); }
    std::optional<QString> nodeName() const override { return ++calls, QStringLiteral("desk-7"); }
    std::optional<QByteArray> routeTable() const override
    {
        return ++calls, readData("route/reject-route.txt"); // gateway 192.168.1.1
    }
    mutable int calls = 0;

private:
    Entries m_entries;
};

const SystemInfoRequest All{true, true, true, true, true};

// The five fields in one line, "-" for an absent one.
QString describe(const SystemInfo &info)
{
    QStringList fields;
    for (const auto &field :
         {info.username, info.hostname, info.ipAddress, info.netmask, info.gateway})
        fields << field.value_or(QStringLiteral("-"));
    return fields.join(QLatin1Char(' '));
}

} // namespace

class TestSystemInfo : public QObject
{
    Q_OBJECT

private slots:
    void walksTheInterfaceList_data()
    {
        QTest::addColumn<QString>("entries");
        QTest::addColumn<QString>("expected");
        for (const QString &line : QString::fromUtf8(readData("interfaces/walk.txt")).split('\n')) {
            const QStringList parts = line.split(QStringLiteral(" | "));
            if (parts.size() == 3 && !line.startsWith('#'))
                QTest::newRow(qPrintable(parts[0])) << parts[1] << parts[2];
        }
    }

    void walksTheInterfaceList()
    {
        QFETCH(QString, entries);
        QFETCH(QString, expected);
        Entries list;
        for (const QString &entry : entries.split(QStringLiteral(", "))) {
            const QStringList f = entry.split(QLatin1Char(' '));
            list.append({f[0], f.size() == 3, f.value(1), f.value(2)});
        }
        const FakeHost host(list);
        const SystemInfo info = collectSystemInfo(All, host);
        QCOMPARE(describe(info), expected);
        const int calls = info.gateway ? 4 : 3; // the interface list once, the routes for a gateway
        QCOMPARE(host.calls, calls);

        const SystemInfo mask = collectSystemInfo({false, false, false, true, false}, host);
        QCOMPARE(describe(mask), "- - - " + expected.section(' ', 3, 3) + " -");
        QCOMPARE(host.calls, calls + 1);
    }

    void findsTheDefaultGateway_data()
    {
        QTest::addColumn<QString>("row"); // the table file, then the gateway found or "-"
        QTest::newRow("several defaults: the lowest metric") << "several-defaults.txt 10.0.0.1";
        QTest::newRow("reject route, no gateway flag") << "reject-route.txt 192.168.1.1";
        QTest::newRow("header only") << "header-only.txt -";
        QTest::newRow("empty") << "missing.txt -";
    }

    void findsTheDefaultGateway()
    {
        QFETCH(QString, row);
        const auto found = defaultGateway(readData("route/" + row.section(' ', 0, 0)));
        QCOMPARE(found.value_or(QStringLiteral("-")), row.section(' ', 1));
    }

    void composesTheTextBlock_data()
    {
        QTest::addColumn<SystemInfo>("info");
        QTest::addColumn<QString>("freeText");
        QTest::addColumn<QString>("block");
        QTest::newRow("nothing") << SystemInfo() << QString() << "\n\n\n\n\n\n\n";
        QTest::newRow("host name only") << SystemInfo{{}, "desk-7", {}, {}, {}} << QString()
                                        << "\n\nИмя компьютера: desk-7\n\n\n\n\n";
        QTest::newRow("all (an empty host name keeps its label), two-line free text")
            << SystemInfo{"anna", "", "10.0.0.5", "255.0.0.0", "10.0.0.1"}
            << "Кабинет 12\nтел. 3-45"
            << "Имя пользователя:   anna\n\nИмя компьютера: \nIP-адрес компьютера:  10.0.0.5\n"
               "Маска сети:  255.0.0.0\nШлюз по-умолчанию:   10.0.0.1\n\nКабинет 12\nтел. 3-45";
    }

    void composesTheTextBlock()
    {
        QFETCH(SystemInfo, info);
        QFETCH(QString, freeText);
        QFETCH(QString, block);
        QCOMPARE(composeInfoText(info, freeText), block);
    }

    void namesTheImageByTheTime_data()
    {
        QTest::addColumn<double>("seconds");
        QTest::addColumn<QString>("name");
        QTest::newRow("whole seconds") << 1700000000.0 << "1700000000.0.png";
        QTest::newRow("shortest round trip") << 1765043254.1234567 << "1765043254.1234567.png";
    }

    void namesTheImageByTheTime()
    {
        QFETCH(double, seconds);
        QFETCH(QString, name);
        QCOMPARE(temporaryImageName(seconds), name);
        QCOMPARE(name.chopped(4).toDouble(), seconds);
    }

    // The real system, in a fresh network namespace: first nothing but lo, then our own set-up.
    void collectsFromTheRealSystem()
    {
        if (::geteuid() != 0)
            QSKIP("a network namespace of its own needs root");
        QCOMPARE(::unshare(CLONE_NEWNET), 0); // this thread and the commands it starts
        QCOMPARE(QProcess::execute("ip", {"link", "set", "lo", "up"}), 0);
        QCOMPARE(describe(collectSystemInfo(All)).section(' ', 2), QStringLiteral("- - -"));
        QCOMPARE(
            QProcess::execute(
                "sh",
                {"-ec", "ip link add v0 type veth peer name v1 && "
                        "ip addr add 10.20.30.40/19 dev v1 && ip addr add 172.31.7.9/28 dev v0 && "
                        "ip link set v0 up && ip link set v1 up && "
                        "ip route add default via 172.31.7.1 dev v0 metric 300 && "
                        "ip route add default via 10.20.0.1 dev v1 metric 20"}),
            0);
        const SystemInfo info = collectSystemInfo(All);
        QVERIFY(info.username && !info.username->isEmpty());
        QCOMPARE(describe(info).section(' ', 1),
                 QSysInfo::machineHostName() + " 172.31.7.9 255.255.255.240 10.20.0.1");
    }
};

QTEST_GUILESS_MAIN(TestSystemInfo)
#include "tst_systeminfo.moc"
