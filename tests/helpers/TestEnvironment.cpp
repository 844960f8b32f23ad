#include "TestEnvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <QtTest>

#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

TestEnvironment::TestEnvironment()
{
    m_paths = korvel::Paths::installed();
    for (const char *folder : {"share", "autostart", "tmp"})
        QDir(m_dir.path()).mkpath(folder);
    m_paths.mainForm = path("share/korvelDesktopinfoGui.xml");
    m_paths.previewForm = path("share/preview.xml");
    // Forms that others may write are refused, whatever the checkout's umask gave.
    for (const QString &form : {m_paths.mainForm, m_paths.previewForm}) {
        QFile::copy(KORVEL_SOURCE_DIR "/forms/" + QFileInfo(form).fileName(), form);
        QFile::setPermissions(form, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                        QFile::ReadOther);
    }
    m_paths.settingsFile = path("share/settings.ini");
    m_paths.wallpaper = path("share/wallpaper.png");
    m_paths.icon = KORVEL_SOURCE_DIR "/data/korvel-desktopinfo-gui.png";
    m_paths.autostartEntry = path("autostart/korvel-desktopinfo.desktop");
    QFile::copy(KORVEL_SOURCE_DIR "/data/korvel-desktopinfo.desktop", m_paths.autostartEntry);
    m_paths.tempDir = path("tmp/");
}

namespace {

// Tests take rights away from folders; give them back so that the folder can be removed.
void makeRemovable(const QString &folder)
{
    QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    for (const QFileInfo &entry :
         QDir(folder).entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden))
        if (!entry.isSymLink())
            makeRemovable(entry.absoluteFilePath());
}

} // namespace

TestEnvironment::~TestEnvironment()
{
    makeRemovable(m_dir.path());
}

QString TestEnvironment::writeFile(const QString &relative, const QByteArray &content) const
{
    const QString full = path(relative);
    QDir().mkpath(QFileInfo(full).absolutePath());
    QFile file(full);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        qFatal("cannot write %s", qPrintable(full));
    file.write(content);
    return full;
}

QByteArray TestEnvironment::readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int TestEnvironment::mode(const QString &path)
{
    struct stat st = {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode) : -1;
}

QStringList TestEnvironment::entries(const QString &folder)
{
    return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
}

QString TestEnvironment::resolved(QString text) const
{
    return text.replace("@@", "\1")
        .replace("@data/", KORVEL_TEST_DATA "/")
        .replace('@', dir() + '/')
        .replace('\1', '@');
}

bool TestEnvironment::plant(const QString &what) const
{
    const QString name = what.section(QRegularExpression("->|=>|=| "), 0, 0);
    const QString at = path("share/" + (name == "fifo" ? what.mid(5) : name));
    if (what.contains("->"))
        return QFile::link(what.section("->", 1), at);
    if (what.contains("=>"))
        return ::link(qPrintable(what.section("=>", 1)), qPrintable(at)) == 0;
    if (name == "fifo")
        return ::mkfifo(qPrintable(at), 0666) == 0;
    QString text = what.section('=', 1);
    const QRegularExpressionMatch m = QRegularExpression("\\{(.*)\\*(\\d+)\\}").match(text);
    if (m.hasMatch())
        text.replace(m.capturedStart(), m.capturedLength(),
                     m.captured(1).repeated(m.captured(2).toInt()));
    writeFile("share/" + name, text.toUtf8());
    return true;
}

QVector<TestEnvironment::Row> TestEnvironment::readRows(const QString &file, int columns)
{
    QVector<Row> rows;
    const QString text = QString::fromUtf8(readFile(QStringLiteral(KORVEL_TEST_DATA "/") + file));
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        QStringList fields = (line + QLatin1Char(' ')).split(QStringLiteral(" | "));
        fields.last().chop(1);
        if (fields.size() != columns + 1)
            qFatal("%s: not %d fields: %s", qPrintable(file), columns, qPrintable(line));
        const QByteArray tag = fields.takeFirst().toUtf8();
        for (QString &field : fields)
            field.replace("\\\\", "\1")
                .replace("\\n", "\n")
                .replace("\\r", "\r")
                .replace('\1', '\\');
        rows.append({tag, fields});
    }
    return rows;
}

void TestEnvironment::addRows(const QString &file, int columns)
{
    QTest::addColumn<QStringList>("row");
    for (const Row &row : readRows(file, columns))
        QTest::newRow(row.tag.constData()) << row.fields;
}

void TestEnvironment::addRows(const QString &file, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        QTest::addColumn<QString>(name);
    for (const Row &row : readRows(file, int(names.size()))) {
        QTestData &data = QTest::newRow(row.tag.constData());
        for (const QString &field : row.fields)
            data << field;
    }
}

QString TestEnvironment::stderrOf(const std::function<void()> &run)
{
    QTemporaryFile file;
    file.open();
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    run();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return QString::fromLocal8Bit(file.readAll());
}
