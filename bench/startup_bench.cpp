// Start-up benchmark: the time from process start (fork and exec) to the first
// top-level window mapped on the X display, over many runs of each program.
//
//   korvel_startup_bench RUNS NAME=PROGRAM [NAME=PROGRAM...]
//
// It needs a display with no other clients (bench/run-startup-bench.sh makes
// one and runs the installed program there). The programs take turns so that
// a change in the machine's load falls on all of them alike; each one is ended
// with SIGTERM once its window is mapped. Prints the median and quartiles.

#include <xcb/xcb.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

struct Program
{
    std::string name;
    std::string path;
    std::vector<double> millis;
};

struct Connection
{
    xcb_connection_t *xcb = nullptr;
    ~Connection() { xcb_disconnect(xcb); }
};

[[noreturn]] void die(const std::string &message)
{
    std::fprintf(stderr, "korvel_startup_bench: %s\n", message.c_str());
    std::exit(1);
}

// Discards the events left over from earlier runs.
void drain(xcb_connection_t *xcb)
{
    while (xcb_generic_event_t *event = xcb_poll_for_event(xcb))
        std::free(event);
}

bool isTopLevelMap(const xcb_generic_event_t *event)
{
    if ((event->response_type & 0x7f) != XCB_MAP_NOTIFY)
        return false;
    const auto *map = reinterpret_cast<const xcb_map_notify_event_t *>(event);
    return !map->override_redirect;
}

void endChild(pid_t pid)
{
    kill(pid, SIGTERM);
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
}

// One run: milliseconds from fork to the MapNotify of the program's window.
double measure(xcb_connection_t *xcb, const Program &program)
{
    drain(xcb);
    const Clock::time_point start = Clock::now();
    const pid_t pid = fork();
    if (pid < 0)
        die(std::string("fork: ") + std::strerror(errno));
    if (pid == 0) {
        execl(program.path.c_str(), program.path.c_str(), static_cast<char *>(nullptr));
        std::fprintf(stderr, "korvel_startup_bench: cannot run %s: %s\n", program.path.c_str(),
                     std::strerror(errno));
        _exit(127);
    }

    pollfd fd{xcb_get_file_descriptor(xcb), POLLIN, 0};
    const Clock::time_point deadline = start + std::chrono::seconds(20);
    while (Clock::now() < deadline) {
        while (xcb_generic_event_t *event = xcb_poll_for_event(xcb)) {
            const bool mapped = isTopLevelMap(event);
            std::free(event);
            if (mapped) {
                const double millis =
                    std::chrono::duration<double, std::milli>(Clock::now() - start).count();
                endChild(pid);
                return millis;
            }
        }
        if (xcb_connection_has_error(xcb))
            die("lost the connection to the display");
        int status = 0;
        if (waitpid(pid, &status, WNOHANG) == pid)
            die(program.path + " ended before it showed a window");
        poll(&fd, 1, 50);
    }
    endChild(pid);
    die(program.path + " showed no window within 20 s");
}

double quantile(std::vector<double> sorted, double q)
{
    const double at = q * static_cast<double>(sorted.size() - 1);
    const auto below = static_cast<std::size_t>(at);
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (at - static_cast<double>(below));
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc < 3)
        die("usage: korvel_startup_bench RUNS NAME=PROGRAM [NAME=PROGRAM...]");
    const int runs = std::atoi(argv[1]);
    if (runs < 1)
        die("RUNS must be a positive number");
    std::vector<Program> programs;
    for (int i = 2; i < argc; ++i) {
        const std::string arg = argv[i];
        const std::size_t eq = arg.find('=');
        if (eq == std::string::npos || eq == 0 || access(arg.c_str() + eq + 1, X_OK) != 0)
            die("not NAME=PROGRAM with an executable PROGRAM: " + arg);
        programs.push_back({arg.substr(0, eq), arg.substr(eq + 1), {}});
    }

    Connection connection;
    int screenNumber = 0;
    connection.xcb = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(connection.xcb))
        die("cannot connect to the display");
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(connection.xcb));
    for (int i = 0; i < screenNumber; ++i)
        xcb_screen_next(&screens);
    const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(connection.xcb, screens.data->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(connection.xcb);

    // The first runs fill the page cache and the font caches; they do not count.
    for (const Program &program : programs)
        for (int i = 0; i < 2; ++i)
            measure(connection.xcb, program);
    for (int run = 0; run < runs; ++run) {
        for (Program &program : programs) {
            program.millis.push_back(measure(connection.xcb, program));
            usleep(50 * 1000);
        }
    }

    std::printf("%-10s %5s %8s %8s %8s %8s %8s   (ms from fork to window mapped)\n", "program",
                "runs", "min", "q1", "median", "q3", "max");
    for (Program &program : programs) {
        std::sort(program.millis.begin(), program.millis.end());
        std::printf("%-10s %5zu %8.1f %8.1f %8.1f %8.1f %8.1f\n", program.name.c_str(),
                    program.millis.size(), program.millis.front(), quantile(program.millis, 0.25),
                    quantile(program.millis, 0.5), quantile(program.millis, 0.75),
                    program.millis.back());
    }
    return 0;
}
