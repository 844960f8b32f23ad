#include "ChangeWatcher.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/inotify.h>
#include <sys/signalfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace korvel {

namespace {

sigset_t terminationSignals()
{
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

// Each open function adds a line to `problems` when it fails.
FileDescriptor failed(QStringList &problems, const QString &what)
{
    problems << what + QStringLiteral(": ") + qt_error_string(errno);
    return FileDescriptor(-1);
}

FileDescriptor openNetwork(QStringList &problems)
{
    const QString what = QStringLiteral("cannot watch the network");
    FileDescriptor socket(
        ::socket(AF_NETLINK, SOCK_RAW | SOCK_NONBLOCK | SOCK_CLOEXEC, NETLINK_ROUTE));
    if (socket.get() < 0)
        return failed(problems, what);
    sockaddr_nl address = {};
    address.nl_family = AF_NETLINK;
    address.nl_groups = RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_LINK;
    if (::bind(socket.get(), reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0)
        return failed(problems, what);
    return socket;
}

FileDescriptor openFolder(QStringList &problems, const QString &folder)
{
    const QString what = QStringLiteral("cannot watch the folder %1").arg(folder);
    FileDescriptor watch(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    if (watch.get() < 0)
        return failed(problems, what);
    // A save renames a new file over the old one; an administrator may also
    // write or remove the file in place.
    const uint32_t events = IN_MOVED_TO | IN_CLOSE_WRITE | IN_DELETE | IN_MOVED_FROM | IN_ATTRIB;
    if (::inotify_add_watch(watch.get(), QFile::encodeName(folder).constData(),
                            events | IN_ONLYDIR) < 0)
        return failed(problems, what);
    return watch;
}

FileDescriptor openSignals(QStringList &problems)
{
    const sigset_t set = terminationSignals();
    FileDescriptor fd(::signalfd(-1, &set, SFD_NONBLOCK | SFD_CLOEXEC));
    if (fd.get() < 0)
        return failed(problems, QStringLiteral("cannot receive termination signals"));
    return fd;
}

// Reads whatever is waiting; true when anything was.
template <typename Each> bool drain(int fd, Each each)
{
    alignas(alignof(nlmsghdr)) alignas(alignof(inotify_event)) char buffer[8192];
    bool any = false;
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        // ENOBUFS: the kernel dropped messages; something changed all the same.
        if (got < 0 && errno == ENOBUFS) {
            any = true;
            continue;
        }
        if (got <= 0)
            return any;
        any = true;
        each(buffer, static_cast<size_t>(got));
    }
}

} // namespace

void ChangeWatcher::blockTerminationSignals()
{
    const sigset_t set = terminationSignals();
    ::pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

ChangeWatcher::ChangeWatcher(const QString &folder, const QStringList &names, QObject *parent)
    : QObject(parent), m_names(names), m_network(openNetwork(m_problems)),
      m_folder(openFolder(m_problems, folder)), m_signals(openSignals(m_problems))
{
    const auto watch = [this](const FileDescriptor &fd, void (ChangeWatcher::*read)()) {
        if (fd.get() < 0)
            return;
        auto *notifier = new QSocketNotifier(fd.get(), QSocketNotifier::Read, this);
        connect(notifier, &QSocketNotifier::activated, this, read);
    };
    watch(m_network, &ChangeWatcher::readNetwork);
    watch(m_folder, &ChangeWatcher::readFolder);
    watch(m_signals, &ChangeWatcher::readSignals);
}

ChangeWatcher::~ChangeWatcher() = default;

void ChangeWatcher::readNetwork()
{
    if (drain(m_network.get(), [](const char *, size_t) {}))
        emit changed();
}

void ChangeWatcher::readFolder()
{
    bool relevant = false;
    drain(m_folder.get(), [this, &relevant](const char *buffer, size_t size) {
        for (size_t at = 0; at + sizeof(inotify_event) <= size;) {
            inotify_event event;
            std::memcpy(&event, buffer + at, sizeof event);
            if (event.len > 0) {
                const char *name = buffer + at + sizeof(inotify_event);
                const QString file =
                    QFile::decodeName(QByteArray(name, int(::strnlen(name, event.len))));
                relevant = relevant || m_names.contains(file);
            }
            relevant = relevant || (event.mask & IN_Q_OVERFLOW) != 0;
            at += sizeof(inotify_event) + event.len;
        }
    });
    if (relevant)
        emit changed();
}

void ChangeWatcher::readSignals()
{
    if (drain(m_signals.get(), [](const char *, size_t) {}))
        emit terminationRequested();
}

} // namespace korvel
