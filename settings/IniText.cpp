#include "IniText.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace korvel {

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isLineEnd(char c)
{
    return c == '\n' || c == '\r';
}

bool isSpecial(char c)
{
    return isLineEnd(c) || c == '"' || c == ';' || c == '=' || c == '\\';
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// One logical line from `pos` on: blank space before it and comment lines are
// skipped; a line ends at a line break or a ';' outside quotes, and an escaped
// line break or a quoted one continues it. False at the end of the text.
bool nextLine(const QByteArray &d, int &pos, int &start, int &end, int &equals)
{
    const int size = d.size();
    bool quoted = false;
    equals = -1;
    start = pos;
    while (start < size && (isBlank(d[start]) || isLineEnd(d[start])))
        ++start;
    int i = start;
    while (i < size) {
        while (i < size && !isSpecial(d[i]))
            ++i;
        if (i == size)
            break;
        const char c = d[i++];
        if (c == '=') {
            if (!quoted && equals < 0)
                equals = i - 1;
        } else if (isLineEnd(c)) {
            if (i == start + 1) {
                ++start;
            } else if (!quoted) {
                --i;
                break;
            }
        } else if (c == '\\') {
            if (i < size) {
                const char escaped = d[i++];
                if (i < size && isLineEnd(escaped) && isLineEnd(d[i]) && d[i] != escaped)
                    ++i;
            }
        } else if (c == '"') {
            quoted = !quoted;
        } else if (i == start + 1) { // a comment line, and the blank space after it
            while (i < size && !isLineEnd(d[i]))
                ++i;
            while (i < size && (isBlank(d[i]) || isLineEnd(d[i])))
                ++i;
            start = i;
        } else if (!quoted) { // a comment after the line
            --i;
            break;
        }
    }
    pos = i;
    end = i;
    return end > start;
}

// A section or key name: a backslash stands for a slash, %XX and %UXXXX for a character.
QString unescapedName(const QByteArray &d, int from, int to)
{
    const char *begin = d.constData() + from, *end = d.constData() + to;
    if (std::find_if(begin, end, [](char c) { return c == '\\' || c == '%'; }) == end)
        return QString::fromLatin1(begin, to - from);
    QString name;
    int i = from;
    while (i < to) {
        const char c = d[i];
        if (c == '\\') {
            name += QLatin1Char('/');
            ++i;
            continue;
        }
        if (c != '%' || i == to - 1) {
            name += QLatin1Char(c);
            ++i;
            continue;
        }
        const int digits = d[i + 1] == 'U' ? 4 : 2;
        const int first = i + 1 + (digits == 4 ? 1 : 0);
        bool ok = false;
        const int code = first + digits > to ? 0 : d.mid(first, digits).toInt(&ok, 16);
        if (!ok) {
            name += QLatin1Char('%');
            ++i;
            continue;
        }
        name += QChar(code);
        i = first + digits;
    }
    return name;
}

// The name of a section line "[...]".
QString sectionName(const QByteArray &d, int start, int end)
{
    const int close = d.indexOf(']', start);
    QByteArray name = d.mid(start + 1, (close < 0 || close >= end ? end : close) - start - 1);
    name = name.trimmed();
    if (name.compare("general", Qt::CaseInsensitive) == 0)
        return {};
    if (name.compare("%general", Qt::CaseInsensitive) == 0)
        return QString::fromLatin1(name.mid(1));
    return unescapedName(name, 0, name.size());
}

void chopBlanks(QString &text, int limit)
{
    int n = text.size();
    while (n > limit && (text[n - 1] == QLatin1Char(' ') || text[n - 1] == QLatin1Char('\t')))
        --n;
    text.truncate(n);
}

// The parts of a value: quotes, escapes and unquoted commas resolved, blanks
// around unquoted parts dropped. More than one part: a comma list.
QStringList valueParts(const QByteArray &d, int from, int to, bool *isList)
{
    static const char codes[] = "a\ab\bf\fn\nr\rt\tv\v\"\"?\?''\\\\";
    QStringList parts;
    QString part;
    bool inQuotes = false, partQuoted = false;
    int i = from;
    const auto skipBlanks = [&] {
        while (i < to && isBlank(d[i]))
            ++i;
    };
    skipBlanks();
    // Blanks before this length are never dropped: they came from an escape or quotes.
    int keep = 0;
    bool chopAtEnd = true;
    while (i < to) {
        const char c = d[i];
        if (c == '\\') {
            if (++i >= to) {
                chopAtEnd = false;
                break;
            }
            const char e = d[i++];
            const char *code = e == '\0' ? nullptr : std::strchr(codes, e);
            if (code != nullptr && (code - codes) % 2 == 0) {
                part += QLatin1Char(code[1]);
            } else if ((e == 'x' && i < to && hexDigit(d[i]) >= 0) || (e >= '0' && e <= '7')) {
                const int base = e == 'x' ? 16 : 8;
                int value = e == 'x' ? 0 : e - '0';
                while (i < to && hexDigit(d[i]) >= 0 && hexDigit(d[i]) < base)
                    value = ((value * base) + hexDigit(d[i++])) & 0xffff;
                part += QChar(value);
                if (i >= to) {
                    chopAtEnd = false;
                    break;
                }
            } else if (isLineEnd(e) && i < to && isLineEnd(d[i]) && d[i] != e) {
                ++i; // an escaped line break of two characters
            }
            keep = part.size();
        } else if (c == '"') {
            ++i;
            partQuoted = true;
            inQuotes = !inQuotes;
            if (!inQuotes) {
                skipBlanks();
                keep = part.size();
            }
        } else if (c == ',' && !inQuotes) {
            if (!partQuoted)
                chopBlanks(part, keep);
            parts << part;
            part.clear();
            partQuoted = false;
            ++i;
            skipBlanks();
            keep = 0;
        } else {
            int j = i + 1;
            while (j < to && d[j] != '\\' && d[j] != '"' && d[j] != ',')
                ++j;
            part += QString::fromUtf8(d.constData() + i, j - i);
            i = j;
        }
    }
    if (chopAtEnd && !partQuoted)
        chopBlanks(part, keep);
    *isList = !parts.isEmpty();
    parts << part;
    return parts;
}

// A section or key name: letters, digits, '_', '-' and '.' as they are, a slash
// as a backslash, anything else as %XX or %UXXXX.
QByteArray escapedName(const QString &name)
{
    QByteArray out;
    for (const QChar c : name) {
        const ushort u = c.unicode();
        if (c == QLatin1Char('/'))
            out += '\\';
        else if ((u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
                 u == '_' || u == '-' || u == '.')
            out += char(u);
        else if (u <= 0xff)
            out += '%' + QByteArray::number(u, 16).toUpper().rightJustified(2, '0');
        else
            out += "%U" + QByteArray::number(u, 16).toUpper().rightJustified(4, '0');
    }
    return out;
}

void appendUtf8(QByteArray &out, const QString &text, int &i)
{
    const QChar c = text[i];
    if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
        out += QStringView(text).mid(i, 2).toUtf8();
        ++i;
    } else {
        out += QString(c).toUtf8();
    }
}

} // namespace

IniText::IniText(QByteArray bytes) : m_bytes(std::move(bytes))
{
    const QByteArray &d = m_bytes;
    int pos = d.startsWith("\xef\xbb\xbf") ? 3 : 0;
    Line line;
    while (nextLine(d, pos, line.start, line.end, line.equals)) {
        line.header = d[line.start] == '[';
        if (line.header) {
            line.section = sectionName(d, line.start, line.end);
            line.key.clear();
        } else if (line.equals >= 0) {
            int keyEnd = line.equals;
            while (keyEnd > line.start && isBlank(d[keyEnd - 1]))
                --keyEnd;
            line.key = unescapedName(d, line.start, keyEnd);
        } else {
            continue;
        }
        m_lines << line;
    }
}

std::optional<IniText::Value> IniText::value(const QString &section, const QString &key) const
{
    for (auto line = m_lines.crbegin(); line != m_lines.crend(); ++line) {
        if (line->header || line->section != section || line->key != key)
            continue;
        Value value;
        QStringList parts = valueParts(m_bytes, line->equals + 1, line->end, &value.isList);
        value.encoded = std::any_of(parts.cbegin(), parts.cend(), [](const QString &part) {
            return part.startsWith(QLatin1Char('@')) && !part.startsWith(QLatin1String("@@"));
        });
        for (QString &part : parts)
            if (!value.encoded && part.startsWith(QLatin1Char('@')))
                part.remove(0, 1);
        value.text = parts.join(QLatin1String(", "));
        return value;
    }
    return std::nullopt;
}

QByteArray IniText::escaped(const QString &text)
{
    QByteArray out;
    bool quotes = false, escapeHexDigit = false;
    for (int i = 0; i < text.size(); ++i) {
        const ushort c = text[i].unicode();
        quotes = quotes || c == ';' || c == ',' || c == '=';
        // After a numeric escape a hex digit would be read as part of it.
        if (escapeHexDigit && c < 0x80 && hexDigit(char(c)) >= 0) {
            out += "\\x" + QByteArray::number(c, 16);
            continue;
        }
        escapeHexDigit = false;
        static const char codes[] = "\aa\bb\ff\nn\rr\tt\vv\"\"\\\\";
        const char *code = c == 0 || c > 0x7f ? nullptr : std::strchr(codes, char(c));
        if (c == 0) {
            out += "\\0";
            escapeHexDigit = true;
        } else if (code != nullptr && (code - codes) % 2 == 0) {
            out += '\\';
            out += code[1];
        } else if (c <= 0x1f || c == 0xfeff || // a byte order mark would be dropped on reading,
                   QChar::isLowSurrogate(c) || // a half of a pair alone would read as "?"
                   (QChar::isHighSurrogate(c) &&
                    (i + 1 == text.size() || !text[i + 1].isLowSurrogate()))) {
            out += "\\x" + QByteArray::number(c, 16);
            escapeHexDigit = true;
        } else {
            appendUtf8(out, text, i);
        }
    }
    if (quotes || out.startsWith(' ') || out.endsWith(' '))
        out = '"' + out + '"';
    return out;
}

QByteArray IniText::with(const QVector<Entry> &entries) const
{
    const auto entryOf = [&entries](const Line &line) {
        for (int n = 0; n < entries.size(); ++n)
            if (!line.header && entries[n].key == line.key && entries[n].section == line.section)
                return n;
        return -1;
    };
    // Text values: one that starts with "@" is escaped as "@@" so that it stays text.
    QVector<QByteArray> values;
    for (const Entry &entry : entries)
        values << escaped(entry.text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + entry.text
                                                                  : entry.text);
    QVector<bool> present(entries.size());
    for (const Line &line : m_lines)
        if (const int n = entryOf(line); n >= 0)
            present[n] = true;
    QVector<std::pair<QString, QVector<int>>> missing; // per section, the entries not in the file
    for (int n = 0; n < entries.size(); ++n) {
        if (present[n])
            continue;
        auto section = std::find_if(missing.begin(), missing.end(),
                                    [&](const auto &s) { return s.first == entries[n].section; });
        if (section == missing.end())
            section = missing.insert(missing.end(), {entries[n].section, {}});
        section->second << n;
    }
    const auto keyLines = [&](QVector<int> sorted) {
        std::sort(sorted.begin(), sorted.end(),
                  [&](int a, int b) { return entries[a].key < entries[b].key; });
        QByteArray lines;
        for (int n : sorted)
            lines += escapedName(entries[n].key) + '=' + values[n] + '\n';
        return lines;
    };

    QByteArray out;
    int copied = 0;
    for (const Line &line : m_lines) {
        if (line.header) {
            auto section = std::find_if(missing.begin(), missing.end(),
                                        [&](const auto &s) { return s.first == line.section; });
            if (section == missing.end())
                continue;
            int at = line.end;
            while (at < m_bytes.size() && !isLineEnd(m_bytes[at]))
                ++at;
            out += m_bytes.mid(copied, at - copied) + '\n';
            QByteArray added = keyLines(section->second);
            added.chop(1);
            out += added;
            copied = at;
            missing.erase(section);
        } else if (const int n = entryOf(line); n >= 0) {
            out += m_bytes.mid(copied, line.equals + 1 - copied) + values[n];
            copied = line.end;
        }
    }
    out += m_bytes.mid(copied);
    for (const auto &section : missing) {
        if (!out.isEmpty())
            out += out.endsWith('\n') ? "\n" : "\n\n";
        out += '[' + escapedName(section.first) + "]\n" + keyLines(section.second);
    }

    // A text that hides lines from the reader (an open quote, a continued line)
    // could swallow what was written; then only the new values are written.
    const IniText written(out);
    for (const Entry &entry : entries) {
        const std::optional<Value> read = written.value(entry.section, entry.key);
        if (!read || read->isList || read->encoded || read->text != entry.text)
            return m_bytes.isEmpty() ? out : IniText({}).with(entries);
    }
    return out;
}

} // namespace korvel
