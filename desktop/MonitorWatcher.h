#pragma once

#include <QObject>

#include <memory>

struct xcb_connection_t;

namespace korvel {

// Tells when the X screen's monitors may have changed: added, removed,
// moved, resized or another made primary. The toolkit follows outputs only;
// monitors set by other means (and the root window's size) are seen here,
// on a connection of its own.
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

private:
    void readEvents();

    xcb_connection_t *m_connection = nullptr;
};

} // namespace korvel
