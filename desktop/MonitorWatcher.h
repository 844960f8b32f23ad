#pragma once

#include <QObject>

#include <memory>

struct xcb_connection_t;

namespace korvel {

// Tells when the X screen's monitors may have changed: added, removed,
// moved, resized or another made primary (RandR's outputs and monitors, and
// the root window's size), and when the X display has gone, on a connection
// of its own.
class MonitorWatcher : public QObject
{
    Q_OBJECT

public:
    explicit MonitorWatcher(QObject *parent = nullptr);
    ~MonitorWatcher() override;

    // Whether the X display could be watched.
    bool watching() const { return m_connection != nullptr; }

signals:
    void changed();
    // The X server closed the connection or could not be reached: the
    // session that the tool draws for has ended.
    void displayLost();

private:
    void readEvents();

    xcb_connection_t *m_connection = nullptr;
};

} // namespace korvel
