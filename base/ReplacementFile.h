#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

namespace korvel {

// Replaces the file at `target` with new content in two steps, never writing
// through whatever is at that path (a link, a FIFO, another user's file):
//  - prepare() creates a new file exclusively beside the target, writes the
//    content, gives it exactly `mode` and flushes it to the disk;
//  - commit() renames it over the target, which replaces a link at the name
//    instead of following it.
// Until commit() the old file stays as it was; a prepared file that is not
// committed is removed again.
class ReplacementFile
{
public:
    ReplacementFile(QString target, mode_t mode);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile &) = delete;
    ReplacementFile &operator=(const ReplacementFile &) = delete;

    bool prepare(const QByteArray &content);
    bool commit();

    // The errno value of the step that failed.
    int error() const { return m_error; }

private:
    bool fail(int error);
    void discard();

    QString m_target;
    mode_t m_mode;
    QByteArray m_temporary; // native path of the prepared file, empty when none
    int m_error = 0;
};

} // namespace korvel
