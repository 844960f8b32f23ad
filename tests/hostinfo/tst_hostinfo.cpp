#include "helpers/TestEnvironment.h"
#include "hostinfo/CollectSystemInfo.h"
#include "hostinfo/HostSource.h"
#include "hostinfo/RouteTable.h"

#include <QProcess>
#include <QtTest>

#include <sched.h>
#include <unistd.h>

using namespace korvel;
Q_DECLARE_METATYPE(korvel::InterfaceEntry)

namespace {

const QString Routes = QStringLiteral(KORVEL_TEST_DATA "/route/");

// Canned facts that count the lookups made.
class FakeHost : public HostSource
{
public:
    explicit FakeHost(QVector<InterfaceEntry> list) : entries(std::move(list)) {}
    std::optional<QVector<InterfaceEntry>> interfaces() const override { return ++calls, entries; }
    std::optional<QString> loginName() const override { return ++calls, QString("anna"); }
    std::optional<QString> nodeName() const override { return ++calls, QString("desk-7"); }
    std::optional<QByteArray> routeTable() const override
    {
        // Gateway 192.168.1.1.
        return ++calls, TestEnvironment::readFile(Routes + "reject-route.txt");
    }
    mutable int calls = 0;
    const QVector<InterfaceEntry> entries;
};

const SystemInfoRequest All{true, true, true, true, true};

// The five fields in one line, "-" for an absent one.
QString describe(const SystemInfo &info)
{
    QStringList fields;
    for (const auto &field :
         {info.username, info.hostname, info.ipAddress, info.netmask, info.gateway})
        fields << field.value_or("-");
    return fields.join(' ');
}

} // namespace

// The host facts: the interface walk, the default gateway from the route table,
// and both from the real system.
class TestHostInfo : public QObject
{
    Q_OBJECT

private slots:
    // The host facts come from the real system, in a fresh network namespace
    // (root only): first nothing but lo, then two interfaces with default routes,
    // the lower metric winning.
    void initTestCase()
    {
        if (::geteuid() != 0)
            return;
        QCOMPARE(::unshare(CLONE_NEWNET), 0); // this thread and the commands it starts
        QCOMPARE(QProcess::execute("ip", {"link", "set", "lo", "up"}), 0);
        QCOMPARE(describe(collectSystemInfo(All)).section(' ', 2), "- - -");
        const char *setUp =
            "ip link add v0 type veth peer name v1 && ip link set v0 up && ip link set v1 up && "
            "ip addr add 10.20.30.40/19 dev v1 && ip addr add 172.31.7.9/28 dev v0 && "
            "ip route add default via 172.31.7.1 dev v0 metric 300 && "
            "ip route add default via 10.20.0.1 dev v1 metric 20";
        QCOMPARE(QProcess::execute("sh", {"-ec", setUp}), 0);
        const SystemInfo info = collectSystemInfo(All);
        QVERIFY(info.username && !info.username->isEmpty());
        QCOMPARE(describe(info).section(' ', 1),
                 QSysInfo::machineHostName() + " 172.31.7.9 255.255.255.240 10.20.0.1");
    }

    // Rows of tests/data/interfaces/walk.txt.
    void walksTheInterfaceList_data()
    {
        QTest::addColumn<QVector<InterfaceEntry>>("list");
        QTest::addColumn<QString>("facts");
        for (const TestEnvironment::Row &row :
             TestEnvironment::readRows("interfaces/walk.txt", 2)) {
            QVector<InterfaceEntry> list;
            for (const QString &entry : row.fields[0].split(", ")) {
                const QStringList f = entry.split(' ');
                list.append({f[0], f.size() == 3, f.value(1), f.value(2)});
            }
            QTest::newRow(row.tag.constData()) << list << row.fields[1];
        }
    }
    void walksTheInterfaceList()
    {
        QFETCH(QVector<InterfaceEntry>, list);
        QFETCH(QString, facts);
        const FakeHost host(list);
        QCOMPARE(describe(collectSystemInfo(All, host)), facts);
        // The interface list once, the routes for a gateway.
        const int calls = facts.endsWith(" -") ? 3 : 4;
        QCOMPARE(host.calls, calls);
        const SystemInfo mask = collectSystemInfo({false, false, false, true, false}, host);
        QCOMPARE(describe(mask), "- - - " + facts.section(' ', 3, 3) + " -");
        QCOMPARE(host.calls, calls + 1);
    }

    void findsTheDefaultGateway_data()
    {
        TestEnvironment::addRows("route/gateways.txt", {"table", "gateway"});
    }
    void findsTheDefaultGateway()
    {
        QFETCH(QString, table);
        QFETCH(QString, gateway);
        QCOMPARE(defaultGateway(TestEnvironment::readFile(Routes + table)).value_or("-"), gateway);
    }
};

QTEST_GUILESS_MAIN(TestHostInfo)
#include "tst_hostinfo.moc"
