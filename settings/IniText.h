#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

#include <optional>

namespace korvel {

// The settings file's text in the INI notation of Qt's settings layer, read and
// changed as text only. Lines, sections, keys, quotes, escapes and comma lists
// are understood as the settings layer understands them, but no value is ever
// turned into an object: a value that the settings layer would decode (one
// that starts with "@", other than the escaped "@@") is only reported as such.
// Lines of other keys are never rewritten.
class IniText
{
public:
    explicit IniText(QByteArray bytes);

    struct Value
    {
        // The value's text; the parts of a comma list joined by ", ".
        QString text;
        // An unquoted comma made it a list.
        bool isList = false;
        // It starts with "@" (a list: one of its parts does) and is not the escaped "@@":
        // the settings layer would decode it into an object. `text` is as written.
        bool encoded = false;
    };
    // The value of `key` in section `section`; the last one when it appears
    // more than once, nullopt when absent.
    std::optional<Value> value(const QString &section, const QString &key) const;

    struct Entry
    {
        QString section;
        QString key;
        QString text;
    };
    // The text with every entry set, as text ("@" at its start written "@@"):
    // each line of an entry's key gets the new value in place, a missing key is
    // added at the top of its section and a missing section at the end. Every
    // other byte stays as it was, unless the text would hide what was written
    // (an open quote to its end): then it holds the entries alone.
    QByteArray with(const QVector<Entry> &entries) const;

    // `text` as the settings layer writes a text value (UTF-8), except that a
    // character beyond 16 bits is written as its UTF-8 bytes, which the
    // settings layer drops, and a NUL, a byte order mark and a lone half of a
    // surrogate pair as escapes, so that they read back as they were.
    static QByteArray escaped(const QString &text);

private:
    struct Line
    {
        int start = 0;   // its first byte
        int end = 0;     // one past its last byte
        int equals = -1; // the '=' of a key line
        bool header = false;
        QString section; // its name, or that of the section a key line is in
        QString key;     // of a key line
    };

    QByteArray m_bytes;
    QVector<Line> m_lines;
};

} // namespace korvel
