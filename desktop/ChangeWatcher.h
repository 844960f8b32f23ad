#pragma once

#include "base/FileDescriptor.h"

#include <QObject>
#include <QStringList>

class QSocketNotifier;

namespace korvel {

// Tells, without polling, when what the desktop shows may have changed: an
// IPv4 address or route came or went (netlink), or one of the named files in
// `folder` was replaced, written or removed (inotify). It also turns SIGTERM,
// SIGINT and SIGHUP into terminationRequested(); those signals must be blocked
// in every thread first, with blockTerminationSignals().
class ChangeWatcher : public QObject
{
    Q_OBJECT

public:
    ChangeWatcher(const QString &folder, const QStringList &names, QObject *parent = nullptr);
    ~ChangeWatcher() override;

    // Call before any thread starts, so that every thread inherits the mask.
    static void blockTerminationSignals();

    // What could not be watched, one line each.
    const QStringList &problems() const { return m_problems; }

signals:
    void changed();
    void terminationRequested();

private:
    void readNetwork();
    void readFolder();
    void readSignals();

    QStringList m_names;
    QStringList m_problems;
    FileDescriptor m_network;
    FileDescriptor m_folder;
    FileDescriptor m_signals;
};

} // namespace korvel
