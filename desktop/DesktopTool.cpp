#include "DesktopTool.h"

#include "ChangeWatcher.h"
#include "DesktopSetters.h"
#include "MonitorWatcher.h"
#include "PictureCache.h"
#include "RootWindowBackground.h"
#include "autostart/AutostartEntry.h"
#include "base/Diagnostics.h"
#include "base/Paths.h"
#include "display/DisplayDesktop.h"
#include "display/XcbHandles.h"
#include "picture/JobFromSettings.h"
#include "settings/SettingsFile.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <future>
#include <malloc.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace korvel {

namespace {

// No login waits for a stuck X server or file system: a run with --once, and
// each drawing in the background, is ended by SIGALRM after this time.
constexpr unsigned MaxSeconds = 30;
// Changes that come together (an address and its route, a save's two files)
// give one drawing; while changes keep coming, a drawing starts at most
// about once a second, and the last change is always drawn.
constexpr int SettleMilliseconds = 250;
constexpr qint64 MinimumDrawingInterval = 1000;

QString compositionProblem(PictureFailure failure, const PictureJob &job)
{
    switch (failure) {
    case PictureFailure::None:
        return {};
    case PictureFailure::ImageUnreadable:
        return QStringLiteral("the wallpaper %1 is not a readable image").arg(job.imagePath);
    case PictureFailure::ImageTooLarge:
        return QStringLiteral("the wallpaper %1 is too large").arg(job.imagePath);
    case PictureFailure::FontUnusable:
        return QStringLiteral("cannot load the font %1").arg(job.fontPath);
    case PictureFailure::FontSizeRefused:
        break;
    }
    return QStringLiteral("the font size %1 is not usable").arg(job.fontPixelSize);
}

class DesktopTool : public QObject
{
public:
    // `session`: see runDesktopTool().
    DesktopTool(const Paths &paths, Connection session)
        : m_paths(paths), m_session(std::move(session))
    {
        m_settle.setSingleShot(true);
        connect(&m_settle, &QTimer::timeout, this, [this] { draw(); });
    }

    // A drawing soon: SettleMilliseconds after the first of the changes
    // that come together, not sooner than MinimumDrawingInterval after the
    // last drawing started. (Changes while drawing are read after it.)
    void scheduleDrawing()
    {
        if (m_settle.isActive())
            return;
        const qint64 wait =
            m_lastDrawing.isValid() ? MinimumDrawingInterval - m_lastDrawing.elapsed() : 0;
        m_settle.start(int(std::clamp<qint64>(wait, SettleMilliseconds, MinimumDrawingInterval)));
    }

    // Draws the desktop once; false, after one line on standard error, when
    // nothing was drawn. `early` may hold the wallpaper loaded already.
    bool draw(std::future<ComposedPicture> *early = nullptr)
    {
        m_lastDrawing.start();
        m_previousLines = std::exchange(m_lines, {});
        ::alarm(MaxSeconds);
        const bool drawn = drawNow(early);
        // A wallpaper loading into the memory made ready is done with it first.
        if (early != nullptr && early->valid())
            early->wait();
        // What was made ready for a picture that was not drawn goes too.
        prepareRootBackground(QSize());
        // The picture is gone; give its memory back while idle.
        if (!m_once)
            ::malloc_trim(0);
        ::alarm(0);
        return drawn;
    }

    // A single drawing, after which the process ends.
    void setOnce() { m_once = true; }

    void watch()
    {
        const QFileInfo wallpaper(m_paths.wallpaper);
        auto *watcher = new ChangeWatcher(
            wallpaper.absolutePath(),
            {wallpaper.fileName(), QFileInfo(m_paths.settingsFile).fileName()}, this);
        for (const QString &problem : watcher->problems())
            report(problem);
        const auto schedule = [this] { scheduleDrawing(); };
        connect(watcher, &ChangeWatcher::changed, this, schedule);
        connect(watcher, &ChangeWatcher::terminationRequested, qApp, &QCoreApplication::quit);

        auto *monitors = new MonitorWatcher(this);
        connect(monitors, &MonitorWatcher::changed, this, schedule);
        // The session has ended with its X server.
        connect(monitors, &MonitorWatcher::displayLost, qApp, &QCoreApplication::quit);

        // A desktop that starts after the first drawing gets the picture too.
        connect(&m_desktops, &DesktopSetters::applied, this, [this](const QStringList &problems) {
            for (const QString &problem : problems)
                report(problem);
        });
        connect(&m_desktops, &DesktopSetters::fileNeeded, this, schedule);
        m_desktops.watch();
    }

private:
    // Prints a line unless the drawing before printed it too: a problem that
    // stays is not repeated at every drawing.
    void report(const QString &line)
    {
        if (m_lines.contains(line))
            return;
        m_lines << line;
        if (!m_previousLines.contains(line))
            printDiagnostic(line);
    }

    bool fail(const QString &problem)
    {
        report(problem + QStringLiteral("; the desktop is left as it is"));
        return false;
    }

    bool drawNow(std::future<ComposedPicture> *early)
    {
        struct stat status = {};
        if (::lstat(QFile::encodeName(m_paths.wallpaper).constData(), &status) != 0 &&
            errno == ENOENT)
            return fail(QStringLiteral("nothing to draw: no wallpaper is installed at %1")
                            .arg(m_paths.wallpaper));
        const SettingsFile settingsFile(m_paths.settingsFile);
        const StoredDisplaySettings stored = settingsFile.readDisplaySettings();
        if (!stored.fileProblem.isEmpty())
            return fail(m_paths.settingsFile + QStringLiteral(": ") + stored.fileProblem);
        for (const QString &line : stored.diagnostics(m_paths.settingsFile))
            report(line);

        const std::optional<DisplayDesktop> desktop = readDisplayDesktop();
        if (!desktop || desktop->size.isEmpty())
            return fail(QStringLiteral("the X display has no screen"));
        PictureJob job =
            jobFromSettings(stored.values, m_paths.wallpaper, desktop->size, m_paths.font);
        job.monitors = desktop->monitors;
        // The installed wallpaper is always a regular file; a link there was planted.
        job.imageLinks = FileDescriptor::Links::Refuse;
        // The text is laid out, and its glyphs rendered, while the wallpaper still loads.
        const PreparedText text = prepareInfoText(job);
        ComposedPicture loaded;
        if (early != nullptr && early->valid())
            loaded = early->get();
        // The picture is made where the X server will show it from, when it
        // shares memory with us.
        const bool reload = loaded.image.size() != loadedImageSize(job);
        if (reload) {
            loaded = ComposedPicture();
            prepareRootBackground(job.desktop);
        }
        job.canvas = preparedRootCanvas();
        if (reload)
            loaded = loadDesktopImage(job);
        const ComposedPicture composed = drawInfoText(std::move(loaded), job, text);
        if (composed.failure != PictureFailure::None)
            return fail(compositionProblem(composed.failure, job));

        // In a single drawing the connection that keeps the picture is the
        // last to leave, so that a server with no other client does not reset
        // and lose it; the one that publishes it is open already.
        if (m_once)
            m_session.reset();
        // Desktops that paint their own background need a file that lasts; it
        // is written while the X server takes the picture.
        DesktopPicture picture;
        picture.spansMonitors = !job.monitors.rects.isEmpty();
        QVector<QRect> parts;
        QString cacheError;
        std::future<std::optional<QStringList>> copy;
        const bool needed = m_desktops.needFile();
        if (needed) {
            if (picture.spansMonitors && m_desktops.needMonitorParts())
                parts = job.monitors.rects;
            const auto store = [&] {
                return PictureCache::store(composed.image, parts, &cacheError);
            };
            try {
                copy = std::async(std::launch::async, store);
            } catch (const std::system_error &) {
                copy = std::async(std::launch::deferred, store);
            }
        }
        const QString error = setRootBackground(composed.image);
        const std::optional<QStringList> files = needed ? copy.get() : std::optional<QStringList>();
        if (!error.isEmpty()) {
            // No desktop is told of a picture that the screen does not show.
            for (const QString &file : files.value_or(QStringList()))
                QFile::remove(file);
            return fail(error);
        }
        if (!needed)
            return true;
        if (!files) {
            report(cacheError);
            return true;
        }
        picture.file = files->first();
        for (int i = 0; i < parts.size(); ++i)
            picture.parts.append({parts.at(i), files->at(i + 1)});
        for (const QString &problem : m_desktops.apply(picture))
            report(problem);
        return true;
    }

    const Paths &m_paths;
    Connection m_session;
    bool m_once = false;
    QTimer m_settle;
    QElapsedTimer m_lastDrawing;
    DesktopSetters m_desktops;
    // The lines printed by this drawing and by the one before.
    QStringList m_lines;
    QStringList m_previousLines;
};

} // namespace

int runDesktopTool(int argc, char **argv, const Paths &paths)
{
    setDiagnosticName("korvel-desktopinfo");
    bool once = false;
    for (int i = 1; i < argc; ++i) {
        if (qstrcmp(argv[i], "--once") == 0) {
            once = true;
        } else {
            printDiagnostic(QStringLiteral("unknown option %1; usage: korvel-desktopinfo [--once]")
                                .arg(QString::fromLocal8Bit(argv[i])));
            return 1;
        }
    }
    // Before any thread starts, so that every thread inherits the mask.
    ChangeWatcher::blockTerminationSignals();
    // Reaching the X server and the first drawing are bounded too; in the
    // background each later drawing sets its own bound.
    ::alarm(MaxSeconds);

    if (!once) {
        const AutostartReading entry = readAutostartEntry(paths.autostartEntry);
        if (!entry.failed() && entry.enabled == false) {
            printDiagnostic(QStringLiteral("autostart is switched off in %1; nothing to do")
                                .arg(paths.autostartEntry));
            return 0;
        }
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        printDiagnostic(QStringLiteral("no X display: DISPLAY is not set"));
        return 1;
    }

    // An X server resets when its last client leaves. On a server with no
    // other client the tool's own connections come and go, so this one stays
    // open while they do: the server never resets under them.
    int screenNumber = 0;
    Connection session(xcb_connect(nullptr, &screenNumber));
    const std::optional<DisplayDesktop> desktop = readDisplayDesktop(session.get(), screenNumber);
    if (!desktop || desktop->size.isEmpty()) {
        printDiagnostic(QStringLiteral("cannot connect to the X display %1")
                            .arg(qEnvironmentVariable("DISPLAY")));
        return 1;
    }
    // A PNG or JPEG wallpaper loads on a second thread while the toolkit
    // starts, straight into the memory that the X server will show it from.
    prepareRootBackground(desktop->size);
    std::future<ComposedPicture> early;
    {
        PictureJob job;
        job.canvas = preparedRootCanvas();
        job.imagePath = paths.wallpaper;
        job.imageLinks = FileDescriptor::Links::Refuse;
        job.desktop = desktop->size;
        job.monitors = desktop->monitors;
        early = std::async(std::launch::async, [job] {
            return loadDesktopImageWithoutToolkit(job).value_or(ComposedPicture());
        });
    }

    // The tool draws into images and talks to the X server on connections of
    // its own: the toolkit's display platform (its connection, screens, input
    // methods, cursor and theme plugins) would only cost start-up time. The
    // minimal platform with fonts sets the font up through fontconfig as the
    // window's does, hinted as textFont() says, so both draw the same glyphs.
    qputenv("QT_QPA_PLATFORM", "minimal:enable_fonts");
    qunsetenv("QT_QPA_PLATFORMTHEME");
    // Standard error carries the tool's own lines only: one per thing not done.
    FatalMessagesExit fatalMessages(true);
    int qtArgc = 1;
    QGuiApplication app(qtArgc, argv);

    DesktopTool tool(paths, std::move(session));
    // In the background, what changes while the first drawing is made (a
    // save, a desktop that starts) is seen too, and drawn after it.
    if (once)
        tool.setOnce();
    else
        tool.watch();
    const bool drawn = tool.draw(&early);
    if (!once)
        return QGuiApplication::exec();
#ifndef __SANITIZE_ADDRESS__
    // The X server has the picture and every desktop has been told (their calls
    // wait for the answer): what is left, taking the toolkit down and freeing
    // memory, the system does faster at exit. (With the address sanitizer the
    // full teardown stays, so that its leak check sees everything.)
    std::fflush(nullptr);
    ::_exit(drawn ? 0 : 1);
#endif
    return drawn ? 0 : 1;
}

} // namespace korvel
