#include "app/Messages.h"
#include "preview/CollectSystemInfo.h"
#include "preview/HostSource.h"
#include "preview/InfoText.h"
#include "preview/RouteTable.h"
#include "preview/TemporaryImage.h"

#include <QProcess>
#include <QtTest>

#include <unistd.h>

using namespace korvel;
using Entries = QVector<InterfaceEntry>;
Q_DECLARE_METATYPE(std::optional<QString>)
Q_DECLARE_METATYPE(korvel::InterfaceEntry)
Q_DECLARE_METATYPE(korvel::SystemInfo)

namespace {

InterfaceEntry v4(const char *name, const char *address, const char *netmask)
{
    return {QString::fromLatin1(name), true, QString::fromLatin1(address),
            QString::fromLatin1(netmask)};
}

InterfaceEntry other(const char *name)
{
    return {QString::fromLatin1(name), false, QString(), QString()};
}

// Canned facts that count the lookups made.
class FakeHost : public HostSource
{
public:
    explicit FakeHost(Entries entries) : m_entries(std::move(entries)) {}
    std::optional<Entries> interfaces() const override
    {
        ++calls;
        return m_entries;
    }
    std::optional<QString> loginName() const override
    {
        ++calls;
        return QStringLiteral("anna");
    }
    std::optional<QString> nodeName() const override
    {
        ++calls;
        return QStringLiteral("desk-7");
    }
    std::optional<QByteArray> routeTable() const override
    {
        ++calls;
        ++routeReads;
        return QByteArray("Iface\tDestination\tGateway\tFlags\tRefCnt\tUse\tMetric\tMask\n"
                          "eth0\t00000000\t0101A8C0\t0003\t0\t0\t0\t00000000\n");
    }
    mutable int calls = 0;
    mutable int routeReads = 0;

private:
    Entries m_entries;
};

const SystemInfoRequest All{true, true, true, true, true};

QByteArray readData(const QString &name)
{
    QFile file(QStringLiteral(KORVEL_TEST_DATA "/route/") + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestSystemInfo : public QObject
{
    Q_OBJECT

private slots:
    void walksTheInterfaceList_data()
    {
        QTest::addColumn<Entries>("entries");
        QTest::addColumn<std::optional<QString>>("address");
        QTest::addColumn<std::optional<QString>>("netmask");
        QTest::addColumn<std::optional<QString>>("gateway");
        const std::optional<QString> none;
        const auto text = [](const char *s) {
            return std::optional<QString>(QString::fromLatin1(s));
        };
        QTest::newRow("eth0 then wlan0")
            << Entries{other("lo"), v4("lo", "127.0.0.1", "255.0.0.0"),
                       v4("eth0", "192.168.1.10", "255.255.255.0"),
                       v4("wlan0", "10.0.0.5", "255.0.0.0")}
            << text("10.0.0.5") << text("255.0.0.0") << text("192.168.1.1");
        QTest::newRow("two addresses on one interface")
            << Entries{v4("eth0", "192.168.1.10", "255.255.255.0"), other("eth0"),
                       v4("eth0", "172.16.0.9", "255.255.0.0")}
            << text("172.16.0.9") << text("255.255.0.0") << text("192.168.1.1");
        QTest::newRow("IPv6 only after IPv4")
            << Entries{v4("eth0", "192.168.1.10", "255.255.255.0"), other("wlan0"), other("wlan0")}
            << text("192.168.1.10") << text("255.255.255.0") << text("192.168.1.1");
        QTest::newRow("lo:1 and lo0 qualify")
            << Entries{v4("lo", "127.0.0.1", "255.0.0.0"), v4("lo:1", "127.0.0.2", "255.255.0.0"),
                       v4("lo0", "127.0.0.3", "255.255.255.0"),
                       v4("LO", "127.0.0.4", "255.255.255.252")}
            << text("127.0.0.4") << text("255.255.255.252") << text("192.168.1.1");
        QTest::newRow("an interface listed again later keeps its first place")
            << Entries{v4("eth0", "192.168.1.10", "255.255.255.0"), other("wlan0"),
                       v4("eth0", "192.168.1.11", "255.255.255.128")}
            << text("192.168.1.11") << text("255.255.255.128") << text("192.168.1.1");
        QTest::newRow("lo alone") << Entries{other("lo"), v4("lo", "127.0.0.1", "255.0.0.0")}
                                  << none << none << none;
        QTest::newRow("no IPv4 anywhere but an interface")
            << Entries{other("lo"), other("eth0")} << none << none << text("192.168.1.1");
    }

    void walksTheInterfaceList()
    {
        QFETCH(Entries, entries);
        QFETCH(std::optional<QString>, address);
        QFETCH(std::optional<QString>, netmask);
        QFETCH(std::optional<QString>, gateway);
        const FakeHost host(entries);
        const SystemInfo info = collectSystemInfo(All, host);
        QCOMPARE(info.username, std::optional<QString>(QStringLiteral("anna")));
        QCOMPARE(info.hostname, std::optional<QString>(QStringLiteral("desk-7")));
        QCOMPARE(info.ipAddress, address);
        QCOMPARE(info.netmask, netmask);
        QCOMPARE(info.gateway, gateway);
        QCOMPARE(host.routeReads, gateway ? 1 : 0);
    }

    void looksUpOnlyWhatIsRequested()
    {
        const FakeHost host({v4("eth0", "192.168.1.10", "255.255.255.0")});
        const SystemInfo nothing = collectSystemInfo(SystemInfoRequest(), host);
        QVERIFY(!nothing.username && !nothing.hostname && !nothing.ipAddress && !nothing.netmask &&
                !nothing.gateway);
        QCOMPARE(host.calls, 1); // the interface list only

        SystemInfoRequest maskOnly;
        maskOnly.netmask = true;
        const SystemInfo mask = collectSystemInfo(maskOnly, host);
        QVERIFY(!mask.ipAddress);
        QCOMPARE(mask.netmask, std::optional<QString>(QStringLiteral("255.255.255.0")));
        QCOMPARE(host.calls, 2);
    }

    void findsTheDefaultGateway_data()
    {
        QTest::addColumn<QString>("table");
        QTest::addColumn<std::optional<QString>>("gateway");
        QTest::newRow("several defaults: the lowest metric")
            << "several-defaults.txt" << std::optional<QString>(QStringLiteral("10.0.0.1"));
        QTest::newRow("reject route, no gateway flag, no gateway")
            << "reject-route.txt" << std::optional<QString>(QStringLiteral("192.168.1.1"));
        QTest::newRow("header only") << "header-only.txt" << std::optional<QString>();
        QTest::newRow("empty") << "missing.txt" << std::optional<QString>();
    }

    void findsTheDefaultGateway()
    {
        QFETCH(QString, table);
        QFETCH(std::optional<QString>, gateway);
        QCOMPARE(defaultGateway(readData(table)), gateway);
    }

    void composesTheTextBlock_data()
    {
        QTest::addColumn<SystemInfo>("info");
        QTest::addColumn<QString>("freeText");
        QTest::addColumn<QString>("block");
        QTest::newRow("nothing") << SystemInfo() << QString() << QStringLiteral("\n\n\n\n\n\n\n");
        SystemInfo host;
        host.hostname = QStringLiteral("desk-7");
        QTest::newRow("host name only")
            << host << QString() << QString::fromUtf8("\n\nИмя компьютера: desk-7\n\n\n\n\n");
        SystemInfo all;
        all.username = QStringLiteral("anna");
        all.hostname = QString(); // present but empty: the label stays
        all.ipAddress = QStringLiteral("10.0.0.5");
        all.netmask = QStringLiteral("255.0.0.0");
        all.gateway = QStringLiteral("10.0.0.1");
        QTest::newRow("all with a two-line free text")
            << all << QString::fromUtf8("Кабинет 12\nтел. 3-45")
            << QString::fromUtf8("Имя пользователя:   anna\n\nИмя компьютера: \n"
                                 "IP-адрес компьютера:  10.0.0.5\nМаска сети:  255.0.0.0\n"
                                 "Шлюз по-умолчанию:   10.0.0.1\n\nКабинет 12\nтел. 3-45");
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
        QTest::newRow("a quarter") << 1700000000.25 << "1700000000.25.png";
        QTest::newRow("shortest round trip") << 1765043254.1234567 << "1765043254.1234567.png";
        QTest::newRow("zero") << 0.0 << "0.0.png";
    }

    void namesTheImageByTheTime()
    {
        QFETCH(double, seconds);
        QFETCH(QString, name);
        QCOMPARE(temporaryImageName(seconds), name);
        QCOMPARE(name.chopped(4).toDouble(), seconds);
    }

    // The real system in a network namespace of its own, with an interface,
    // an address and a default route that the test sets up.
    void collectsFromTheRealSystem_data()
    {
        QTest::addColumn<QString>("setup");
        QTest::addColumn<QString>("expected");
        QTest::newRow("one interface with a default route")
            << "ip link set lo up && ip link add v0 type veth peer name v1 && "
               "ip addr add 10.20.30.40/19 dev v1 && ip addr add 172.31.7.9/28 dev v0 && "
               "ip link set v0 up && ip link set v1 up && "
               "ip route add default via 172.31.7.1 dev v0 metric 300 && "
               "ip route add default via 10.20.0.1 dev v1 metric 20"
            << "ipAddress=172.31.7.9\nnetmask=255.255.255.240\ngateway=10.20.0.1\n";
        QTest::newRow("nothing but lo") << "ip link set lo up"
                                        << "ipAddress absent\nnetmask absent\ngateway absent\n";
    }

    void collectsFromTheRealSystem()
    {
        QFETCH(QString, setup);
        QFETCH(QString, expected);
        if (::geteuid() != 0)
            QSKIP("a network namespace of its own needs root");
        QProcess probe;
        probe.setProcessChannelMode(QProcess::MergedChannels);
        probe.start(QStringLiteral("unshare"),
                    {QStringLiteral("-n"), QStringLiteral("sh"), QStringLiteral("-ec"),
                     setup + QStringLiteral(" && exec \"$0\""), QStringLiteral(KORVEL_HOST_PROBE)});
        QVERIFY(probe.waitForFinished(30000));
        const QString output = QString::fromUtf8(probe.readAll());
        QVERIFY2(probe.exitCode() == 0, qPrintable(output));
        const QStringList lines = output.split(QLatin1Char('\n'));
        QVERIFY2(lines.value(0).startsWith(QLatin1String("username=")), qPrintable(output));
        char node[256] = {};
        ::gethostname(node, sizeof node);
        QCOMPARE(lines.value(1), QStringLiteral("hostname=") + QString::fromLocal8Bit(node));
        QCOMPARE(lines.mid(2).join(QLatin1Char('\n')), expected);
    }
};

QTEST_GUILESS_MAIN(TestSystemInfo)
#include "tst_systeminfo.moc"
