#pragma once

#include "DisplaySettingsIo.h"

#include <QByteArray>
#include <QString>

#include <utility>

#include <sys/types.h>

namespace korvel {

// The settings file in its shared folder, where anything may stand at its path:
// a link, a FIFO, a huge or malformed file. It is read without blocking and
// without following a link, and replaced only by a new file renamed over it,
// so that no write ever goes through what is at the path and no lock file is
// needed. Values are in the INI notation of Qt's settings layer (UTF-8), read
// and written as text only (see IniText).
class SettingsFile
{
public:
    static constexpr qint64 MaxSize = 1024 * 1024;
    static constexpr mode_t Mode = 0664;

    explicit SettingsFile(QString path) : m_path(std::move(path)) {}
    const QString &path() const { return m_path; }

    struct Content
    {
        QByteArray bytes;
        // Why a file at the path was not read; empty when it was read or is absent.
        QString problem;
    };
    // The file's bytes; anything but a regular file of at most MaxSize bytes
    // with one name (no other hard link) reads as no file.
    Content read() const;

    // Reads the display settings; `fileProblem` and `invalidValues` of the
    // result say what was read as absent.
    StoredDisplaySettings readDisplaySettings() const;

    // Whether the user may replace the file: the folder must let them create
    // a file, and a file at the path that read() reads must be writable for them.
    bool isWritable() const;

    // The content of `current` with every key of `values` set and every other
    // line kept.
    static QByteArray withValues(const QByteArray &current, const DisplaySettings &values);

    // Replaces the file with `content`, mode 0664; the errno value on failure.
    int replace(const QByteArray &content) const;

private:
    QString m_path;
};

} // namespace korvel
