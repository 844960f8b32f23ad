#pragma once

#include "forms/FormClass.h"
#include "mainwindow/AppContext.h"
#include "mainwindow/KorvelWindow.h"
#include "settings/SettingsFile.h"

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <functional>
#include <memory>
#include <optional>

// A private folder that stands in for the program's fixed locations: the
// installed forms, the settings file, the wallpaper, the autostart entry and
// the temporary folder all live below it. The forms and the autostart entry
// (autostart off) start as copies of the packaged files. The real font file
// and /bin/bash are used.
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

    // What this process writes to its standard error stream while `run` runs.
    static QString stderrOf(const std::function<void()> &run);

    // Adds one QtTest row (column "row", a QStringList of `columns` fields) for
    // each line "tag | field | field ..." of tests/data/`file`; "\n" in a field
    // stands for a line end, "\r" for a carriage return, "\\" for a backslash; empty lines and
    // lines starting with '#' are skipped.
    static void addRows(const QString &file, int columns);

    // The program-wide objects as start-up makes them, made on first use.
    const korvel::SettingsFile &settings();
    korvel::AppContext context();
    // A main window built as start-up builds it (not shown).
    std::unique_ptr<korvel::KorvelWindow> makeWindow();

private:
    QTemporaryDir m_dir;
    korvel::Paths m_paths;
    std::optional<korvel::FormClass> m_mainForm;
    std::optional<korvel::FormClass> m_previewForm;
    std::unique_ptr<korvel::SettingsFile> m_settings;
};
