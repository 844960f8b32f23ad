// Times the preview button from the click to the shown full-screen window on
// the current desktop, for a large JPEG and a large PNG source, and the same
// job done by ImageMagick's convert. Prints medians and the ratio. As root it
// also times the desktop tool and the plain wallpaper setters (xwallpaper,
// hsetroot, feh) stretching the same sources, each a whole process.
//
// Usage: korvel_preview_bench [runs [session]]   (run it on the desktop size to
// measure; the script run-preview-bench.sh starts Xvfb at 1920x1080 and
// 3840x2160). With `session` only the tool and the setters are timed, in the
// session that runs it: the tool's session bus is kept, so that it also writes
// its picture for the desktop there and tells it.
#include "base/Paths.h"
#include "forms/FormClass.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/KorvelWindow.h"
#include "preview/PreviewWindow.h"
#include "settings/SettingsFile.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDesktopWidget>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRawFont>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QtMath>
#include <QtTest>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include <poll.h>
#include <unistd.h>
#include <xcb/xcb.h>

using namespace korvel;

namespace {

constexpr int FontSize = 20;
// ImageMagick's own program, whatever else PATH finds first.
const char *const Convert = "/usr/bin/convert";

// A photo-like source: smooth gradients with some noise, so that PNG does not
// compress it away.
QImage makeSource()
{
    QImage image(4000, 3000, QImage::Format_RGB32);
    quint32 seed = 12345;
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            seed = seed * 1664525u + 1013904223u;
            const int noise = static_cast<int>(seed >> 28);
            line[x] = qRgb((x / 16 + noise) & 255, (y / 12 + noise) & 255, ((x + y) / 28) & 255);
        }
    }
    return image;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

QList<PreviewWindow *> previews()
{
    QList<PreviewWindow *> found;
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *preview = qobject_cast<PreviewWindow *>(widget))
            found.append(preview);
    }
    return found;
}

// Click to shown: the handler has run and the window is exposed on screen.
double timePreview(KorvelWindow &window, const QString &source, const QString &tempDir,
                   double *handler = nullptr)
{
    window.findChild<QLineEdit *>(QStringLiteral("lineBrowse"))->setText(source);
    auto *button = window.findChild<QPushButton *>(QStringLiteral("pushButton"));
    QElapsedTimer timer;
    timer.start();
    button->click();
    if (handler != nullptr)
        *handler = timer.nsecsElapsed() / 1e6;
    const QList<PreviewWindow *> shown = previews();
    if (shown.size() != 1 || !QTest::qWaitForWindowExposed(shown.first(), 10000))
        qFatal("no preview window shown");
    const double ms = timer.nsecsElapsed() / 1e6;
    delete shown.first();
    QDir dir(tempDir);
    for (const QString &name : dir.entryList(QDir::Files))
        dir.remove(name);
    return ms;
}

double timeConvert(const QString &source, const QSize &desktop, const QString &font,
                   const QString &text, const QString &out)
{
    const int ascent = qCeil(QRawFont(font, FontSize).ascent());
    const QStringList arguments{
        source,
        QStringLiteral("-resize"),
        QStringLiteral("%1x%2!").arg(desktop.width()).arg(desktop.height()),
        QStringLiteral("-font"),
        font,
        QStringLiteral("-pointsize"),
        QString::number(FontSize),
        QStringLiteral("-fill"),
        QStringLiteral("rgb(0,128,0)"),
        QStringLiteral("-annotate"),
        QStringLiteral("+%1+%2").arg(desktop.width() * 2 / 5).arg(50 + ascent),
        text,
        out};
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QString::fromLatin1(Convert), arguments);
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        qFatal("convert failed: %s", process.readAllStandardError().constData());
    return timer.nsecsElapsed() / 1e6;
}

// A line of /proc/self/status in kB.
qint64 statusKb(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    status.open(QIODevice::ReadOnly);
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLongLong();
    return -1;
}

// The peak resident memory of one preview above the idle window's, in
// desktop frames (4 bytes a pixel). The kernel's peak is reset first.
double peakFrames(KorvelWindow &window, const QString &source, const QString &tempDir,
                  const QSize &desktop)
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return -1;
    clear.close();
    const qint64 idle = statusKb("VmRSS:");
    timePreview(window, source, tempDir);
    return double(statusKb("VmHWM:") - idle) * 1024 /
           (qint64(desktop.width()) * desktop.height() * 4);
}

// libvips' thumbnail command doing the scaling and the PNG, its process start
// included; nothing is drawn on it.
double timeVips(const QString &source, const QSize &desktop, const QString &out)
{
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    process.start(QStringLiteral("vips"),
                  {QStringLiteral("thumbnail"), source, out + QStringLiteral("[compression=0]"),
                   QString::number(desktop.width()), QStringLiteral("--height"),
                   QString::number(desktop.height()), QStringLiteral("--size"),
                   QStringLiteral("force")});
    if (!process.waitForFinished(120000) || process.exitCode() != 0)
        qFatal("vips failed: %s", process.readAllStandardError().constData());
    return timer.nsecsElapsed() / 1e6;
}

// Whether the whole processes timed side by side keep the session bus.
bool keepSessionBus = false;

QProcessEnvironment sessionEnvironment()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (!keepSessionBus)
        environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    return environment;
}

// In a session, the desktop program KORVEL_BENCH_DESKTOP, owning the bus name
// KORVEL_BENCH_DESKTOP_NAME once up: started again before each run of the tool
// where it has gone (a plain setter that frees the earlier root picture
// ends the X client that made it, which may be the desktop), and given a
// second to settle.
void keepDesktop()
{
    static QProcess *desktop = nullptr;
    const QString command = qEnvironmentVariable("KORVEL_BENCH_DESKTOP");
    if (command.isEmpty() || (desktop != nullptr && desktop->state() == QProcess::Running))
        return;
    delete desktop;
    desktop = new QProcess;
    desktop->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    desktop->setStandardOutputFile(QProcess::nullDevice());
    desktop->start(command, QStringList());
    QDBusConnectionInterface *bus = QDBusConnection::sessionBus().interface();
    const QString name = qEnvironmentVariable("KORVEL_BENCH_DESKTOP_NAME");
    for (int i = 0; i < 200 && !bus->isServiceRegistered(name); ++i)
        QTest::qWait(50);
    if (!bus->isServiceRegistered(name))
        qFatal("%s did not start", qPrintable(command));
    QTest::qWait(1000);
}

// Where the tool writes its pictures for the desktop.
QString copyFolder()
{
    return qEnvironmentVariable("XDG_CACHE_HOME") + QStringLiteral("/korvel-desktopinfo");
}

// The weight of the newest picture the tool wrote for the desktop, in MB.
double copyMegabytes()
{
    const QFileInfoList files =
        QDir(copyFolder())
            .entryInfoList({QStringLiteral("desktop-*.png")}, QDir::Files, QDir::Time);
    return files.isEmpty() ? 0 : files.first().size() / 1e6;
}

// A plain wallpaper setter stretching `wallpaper` over the display, from its
// start to its exit.
double timeSetter(const QStringList &command, const QString &wallpaper)
{
    QProcess process;
    process.setProcessEnvironment(sessionEnvironment());
    QElapsedTimer timer;
    timer.start();
    process.start(command.first(), command.mid(1) << wallpaper);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        qFatal("%s failed: %s", qPrintable(command.first()),
               process.readAllStandardError().constData());
    return timer.nsecsElapsed() / 1e6;
}

struct ToolTimes
{
    double backgroundSet; // start to the new root window background published
    double exited;        // start to exit
};

// The desktop tool `program` drawing `wallpaper` at the tool's fixed paths
// (run-preview-bench.sh gives it a private mount namespace for them).
ToolTimes timeDesktopTool(const QString &program, const QString &wallpaper, const QString &freeText)
{
    if (keepSessionBus)
        keepDesktop();
    const QString share = QStringLiteral("/usr/share/korvel/desktopinfo/");
    QFile::remove(share + QStringLiteral("wallpaper.png"));
    if (!QDir().mkpath(share) || !QFile::copy(wallpaper, share + QStringLiteral("wallpaper.png")))
        qFatal("cannot install the wallpaper in %s", qPrintable(share));
    DisplaySettings settings;
    settings.Username = settings.Hostname = settings.IPaddress = settings.Netmask =
        settings.Gateway = settings.Over = true;
    settings.OverText = freeText;
    settings.Color = 2;
    settings.FontSize = QString::number(FontSize);
    settings.Position = QStringLiteral("center");
    const SettingsFile file(share + QStringLiteral("settings.ini"));
    if (file.replace(SettingsFile::withValues({}, settings)) != 0)
        qFatal("cannot write the settings");

    xcb_connection_t *x = xcb_connect(nullptr, nullptr);
    const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(x)).data->root;
    xcb_intern_atom_reply_t *atom =
        xcb_intern_atom_reply(x, xcb_intern_atom(x, 0, 13, "_XROOTPMAP_ID"), nullptr);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(x, root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(x);
    QProcess tool;
    tool.setProcessEnvironment(sessionEnvironment());
    QElapsedTimer timer;
    timer.start();
    tool.start(program, {QStringLiteral("--once")});
    double ms = -1;
    pollfd fd = {xcb_get_file_descriptor(x), POLLIN, 0};
    while (ms < 0 && ::poll(&fd, 1, 20000) > 0) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(x)) {
            if ((event->response_type & 0x7f) == XCB_PROPERTY_NOTIFY &&
                reinterpret_cast<xcb_property_notify_event_t *>(event)->atom == atom->atom)
                ms = timer.nsecsElapsed() / 1e6;
            std::free(event);
        }
    }
    std::free(atom);
    xcb_disconnect(x);
    if (ms < 0 || !tool.waitForFinished(30000) || tool.exitCode() != 0)
        qFatal("the desktop tool did not draw: %s", tool.readAllStandardError().constData());
    return {ms, timer.nsecsElapsed() / 1e6};
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const int runs = argc > 1 ? QByteArray(argv[1]).toInt() : 7;
    keepSessionBus = argc > 2 && qstrcmp(argv[2], "session") == 0;
    QTemporaryDir dir;
    const QString forms = QStringLiteral(KORVEL_SOURCE_DIR "/forms/");
    const FormClass mainForm = FormClass::fromFile(
        forms + QStringLiteral("korvelDesktopinfoGui.xml"), QStringLiteral("QMainWindow"));
    const FormClass previewForm =
        FormClass::fromFile(forms + QStringLiteral("preview.xml"), QStringLiteral("QWidget"));

    AppContext context;
    context.paths = Paths::installed();
    context.paths.settingsFile = dir.filePath(QStringLiteral("settings.ini"));
    context.paths.tempDir = dir.filePath(QStringLiteral("tmp")) + QLatin1Char('/');
    context.paths.wallpaper = dir.filePath(QStringLiteral("wallpaper.png"));
    context.paths.autostartEntry = dir.filePath(QStringLiteral("korvel-desktopinfo.desktop"));
    QFile::copy(QStringLiteral(KORVEL_SOURCE_DIR "/data/korvel-desktopinfo.desktop"),
                context.paths.autostartEntry);
    QDir().mkpath(context.paths.tempDir);
    const SettingsFile settings(context.paths.settingsFile);
    context.mainForm = &mainForm;
    context.previewForm = &previewForm;
    context.settings = &settings;

    KorvelWindow window(context);
    for (const char *name :
         {"cbUsername", "cbHostname", "cbIPaddress", "cbNetmask", "cbGateway", "cbOver"})
        window.findChild<QCheckBox *>(QString::fromLatin1(name))->setChecked(true);
    const QString freeText = QStringLiteral("Кабинет 214\nтел. 2-14");
    window.findChild<QTextEdit *>(QStringLiteral("textEdit"))->setPlainText(freeText);
    window.findChild<QComboBox *>(QStringLiteral("comboBox"))->setCurrentIndex(2);
    window.findChild<QRadioButton *>(QStringLiteral("radioButton_2"))->setChecked(true);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window))
        qFatal("the main window was not shown");

    const QImage source = makeSource();
    const QString jpeg = dir.filePath(QStringLiteral("source.jpg"));
    const QString png = dir.filePath(QStringLiteral("source.png"));
    source.save(jpeg, "jpg", 90);
    source.save(png, "png");
    const QSize desktop = QApplication::desktop()->size();
    const QString text =
        QStringLiteral("Имя пользователя:   user\n\nИмя компьютера: host\n"
                       "IP-адрес компьютера:  192.168.1.10\nМаска сети:  255.255.255.0\n"
                       "Шлюз по-умолчанию:   192.168.1.1\n\n") +
        freeText;

    std::vector<double> previewMedians;
    if (!keepSessionBus) {
        std::printf("desktop %dx%d, %d runs each, medians in ms; ours: click to preview shown\n",
                    desktop.width(), desktop.height(), runs);
        std::printf("%-27s %9s %9s %9s %9s %9s %9s\n", "source -> desktop", "ours", "(handler)",
                    "libvips", "ours/vips", "convert", "ours/conv");
    }
    for (const QString &file : {jpeg, png}) {
        if (keepSessionBus)
            break;
        std::vector<double> ours, handler, vips, convert;
        timePreview(window, file, context.paths.tempDir); // warm-up
        for (int i = 0; i < runs; ++i) {
            double inHandler = 0;
            ours.push_back(timePreview(window, file, context.paths.tempDir, &inHandler));
            handler.push_back(inHandler);
            vips.push_back(timeVips(file, desktop, dir.filePath(QStringLiteral("vips.png"))));
            convert.push_back(timeConvert(file, desktop, context.paths.font, text,
                                          dir.filePath(QStringLiteral("convert.png"))));
        }
        const double a = median(ours);
        previewMedians.push_back(a);
        std::printf("%-4s 4000x3000 -> %4dx%-4d %9.1f %9.1f %9.1f %9.3f %9.1f %9.3f\n",
                    qPrintable(QFileInfo(file).suffix()), desktop.width(), desktop.height(), a,
                    median(handler), median(vips), a / median(vips), median(convert),
                    a / median(convert));
        std::printf("     peak memory of a preview above the idle window: %.2f desktop frames\n",
                    peakFrames(window, file, context.paths.tempDir, desktop));
        std::fflush(stdout);
    }
    if (::geteuid() != 0)
        return 0;
    // The tool and the plain setters take turns, each run a whole process on this display.
    const QList<QStringList> setters{
        {QStringLiteral("xwallpaper"), QStringLiteral("--stretch")},
        {QStringLiteral("hsetroot"), QStringLiteral("-fill")},
        {QStringLiteral("feh"), QStringLiteral("--no-fehbg"), QStringLiteral("--bg-scale")}};
    if (keepSessionBus)
        std::printf(
            "\ndesktop %dx%d, %d runs each, in this session with its bus: the tool (--once) "
            "from start to exit, every desktop told, and to the background set, for a "
            "picture new to the user; the plain setters from start to exit; the weight of "
            "the tool's copy; the tool for the same picture again\n",
            desktop.width(), desktop.height(), runs);
    else
        std::printf(
            "\nwhole processes, no session bus, medians in ms: the tool (--once) from start "
            "to exit and to the background set, the plain setters from start to exit\n");
    // Another build of the tool, KORVEL_TOOL_BASELINE, takes turns with this one
    // for a comparison under the same load.
    const QString tool = QStringLiteral(KORVEL_TOOL);
    const QString baseline = qEnvironmentVariable("KORVEL_TOOL_BASELINE");
    std::printf("%-27s %9s %9s %11s %9s %9s %9s %9s%s\n", "source -> desktop", "tool", "(set)",
                "xwallpaper", "hsetroot", "feh", "tool/fast",
                keepSessionBus ? "copy MB     again again/fast" : "tool/prev",
                baseline.isEmpty() ? "" : "  baseline  base/fast");
    for (const QString &file : {jpeg, png}) {
        std::vector<double> exited, set, baseExited, again;
        std::vector<std::vector<double>> plain(setters.size());
        timeDesktopTool(tool, file, freeText); // warm-up
        if (!baseline.isEmpty())
            timeDesktopTool(baseline, file, freeText);
        for (const QStringList &setter : setters)
            timeSetter(setter, file);
        for (int i = 0; i < runs; ++i) {
            // In a session: a picture new to the user, then the same picture again.
            if (keepSessionBus)
                QDir(copyFolder()).removeRecursively();
            const ToolTimes times = timeDesktopTool(tool, file, freeText);
            exited.push_back(times.exited);
            set.push_back(times.backgroundSet);
            if (keepSessionBus)
                again.push_back(timeDesktopTool(tool, file, freeText).exited);
            if (!baseline.isEmpty())
                baseExited.push_back(timeDesktopTool(baseline, file, freeText).exited);
            for (int s = 0; s < setters.size(); ++s)
                plain[size_t(s)].push_back(timeSetter(setters[s], file));
        }
        double fastest = 1e9;
        for (const std::vector<double> &times : plain)
            fastest = std::min(fastest, median(times));
        const double ours = median(exited);
        std::printf("%-4s 4000x3000 -> %4dx%-4d %9.1f %9.1f %11.1f %9.1f %9.1f %9.3f %9.3f",
                    qPrintable(QFileInfo(file).suffix()), desktop.width(), desktop.height(), ours,
                    median(set), median(plain[0]), median(plain[1]), median(plain[2]),
                    ours / fastest,
                    keepSessionBus ? copyMegabytes() : ours / previewMedians[file == png]);
        if (keepSessionBus)
            std::printf(" %9.1f %10.3f", median(again), median(again) / fastest);
        if (!baseline.isEmpty())
            std::printf(" %9.1f %9.3f", median(baseExited), median(baseExited) / fastest);
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
