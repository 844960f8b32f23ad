#pragma once

#include "base/Paths.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QVector>

#include <functional>
#include <initializer_list>

// A private folder that stands in for the program's fixed locations: the
// installed forms, the settings file, the wallpaper, the autostart entry and
// the temporary folder all live below it. The forms and the autostart entry
// (autostart off) start as copies of the packaged files. The real font file
// and /bin/bash are used. The window's objects are in WindowEnvironment.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    const korvel::Paths &paths() const { return m_paths; }
    korvel::Paths &paths() { return m_paths; }
    QString dir() const { return m_dir.path(); }
    QString path(const QString &relative) const { return m_dir.filePath(relative); }

    // Writes `content` to `relative` below the folder (creating folders) and returns the full path.
    QString writeFile(const QString &relative, const QByteArray &content) const;
    static QByteArray readFile(const QString &path);

    // `text` with "@data/" standing for tests/data/, "@@" for "@" and any other "@" for the folder.
    QString resolved(QString text) const;
    // Plants `what` below share/ as a member of the group could: "NAME->TARGET" a symbolic link,
    // "NAME=>TARGET" a hard link, "fifo NAME", "NAME=TEXT" a file ("{TEXT*N}": TEXT N times).
    // False when that failed.
    bool plant(const QString &what) const;

    // The file's type and mode as lstat() gives them (-1: none); the names in a folder.
    static int mode(const QString &path);
    static QStringList entries(const QString &folder);

    // What this process writes to its standard error stream while `run` runs.
    static QString stderrOf(const std::function<void()> &run);

    // The lines "tag | field | field ..." of tests/data/`file`, `columns` fields each; "\n" in a
    // field stands for a line end, "\r" for a carriage return, "\\" for a backslash; empty lines
    // and lines starting with '#' are skipped.
    struct Row
    {
        QByteArray tag;
        QStringList fields;
    };
    static QVector<Row> readRows(const QString &file, int columns);
    // Adds one QtTest row (column "row", the fields as a QStringList) for each row of readRows().
    static void addRows(const QString &file, int columns);
    // Adds a QString column for each of `names` and a row for each row of readRows().
    static void addRows(const QString &file, std::initializer_list<const char *> names);

private:
    QTemporaryDir m_dir;
    korvel::Paths m_paths;
};
