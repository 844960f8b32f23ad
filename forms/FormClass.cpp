#include "FormClass.h"

#include "base/FileDescriptor.h"
#include "forms/StartupError.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QMainWindow>
#include <QUiLoader>
#include <QWidget>
#include <QXmlStreamReader>

#include <cerrno>
#include <memory>

#include <sys/stat.h>
#include <unistd.h>

namespace korvel {

namespace {

// Builds the top-level widget of the description into an existing widget
// instead of creating a new one, which is what a generated setupUi() does.
class IntoWidgetLoader : public QUiLoader
{
public:
    explicit IntoWidgetLoader(QWidget *target) : m_target(target) {}

    QWidget *createWidget(const QString &className, QWidget *parent, const QString &name) override
    {
        if (!m_rootTaken && parent == nullptr) {
            m_rootTaken = true;
            m_target->setObjectName(name);
            return m_target;
        }
        return QUiLoader::createWidget(className, parent, name);
    }

private:
    QWidget *m_target;
    bool m_rootTaken = false;
};

// The loader scans every Designer plugin on the system when it is constructed.
// Our forms use only standard widgets, so it is constructed with no library
// path to scan; the paths are put back at once for image and platform plugins.
class PluginScanSuppressor
{
public:
    PluginScanSuppressor() : m_saved(QCoreApplication::libraryPaths())
    {
        QCoreApplication::setLibraryPaths({});
    }
    ~PluginScanSuppressor() { QCoreApplication::setLibraryPaths(m_saved); }
    PluginScanSuppressor(const PluginScanSuppressor &) = delete;
    PluginScanSuppressor &operator=(const PluginScanSuppressor &) = delete;

private:
    QStringList m_saved;
};

QString topLevelClass(const QByteArray &description, QString *error)
{
    if (description.trimmed().isEmpty()) {
        *error = QStringLiteral("the file is empty");
        return {};
    }
    QXmlStreamReader xml(description);
    QString rootClass;
    bool sawUi = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (!sawUi) {
            if (xml.name() != QLatin1String("ui")) {
                *error = QStringLiteral("the root element is <%1>, not <ui>").arg(xml.name());
                return {};
            }
            sawUi = true;
        } else if (rootClass.isNull() && xml.name() == QLatin1String("widget")) {
            rootClass = xml.attributes().value(QLatin1String("class")).toString();
        }
    }
    if (xml.hasError()) {
        *error = QStringLiteral("not well-formed XML at line %1, column %2: %3")
                     .arg(xml.lineNumber())
                     .arg(xml.columnNumber())
                     .arg(xml.errorString());
        return {};
    }
    if (rootClass.isEmpty()) {
        *error = QStringLiteral("it describes no top-level widget");
        return {};
    }
    return rootClass;
}

} // namespace

FormClass::FormClass(QString path, QString baseClass, QByteArray description)
    : m_path(std::move(path)), m_baseClass(std::move(baseClass)),
      m_description(std::move(description))
{}

FormClass FormClass::fromFile(const QString &path, const QString &baseClass)
{
    // A link is refused like the other files of the folder: the checks below
    // are about the file that is read, and a link may lead to anything.
    const FileDescriptor::WholeFile file =
        FileDescriptor::readRegularFile(path, MaxSize, FileDescriptor::Links::Refuse);
    const auto refuse = [&path](const QString &reason) {
        return StartupError(QStringLiteral("cannot use the form file %1: %2").arg(path, reason));
    };
    // A link is refused as a file that is not a regular one.
    if (file.problem != FileProblem::None)
        throw refuse(
            fileProblemReason(file.problem, file.error == ELOOP ? 0 : file.error, MaxSize));
    // A form can connect the window's signals to its slots: only a file that
    // nobody but root or this user could have written is trusted with that.
    if (file.owner != 0 && file.owner != ::geteuid())
        throw refuse(QStringLiteral("it belongs to user id %1, neither to root nor to this user")
                         .arg(file.owner));
    if ((file.mode & (S_IWGRP | S_IWOTH)) != 0)
        throw refuse(
            QStringLiteral("others may write it (mode %1)").arg(file.mode, 4, 8, QChar('0')));

    QString error;
    const QString rootClass = topLevelClass(file.bytes, &error);
    if (rootClass.isNull())
        throw StartupError(
            QStringLiteral("%1 is not a valid form description: %2").arg(path, error));
    if (rootClass != baseClass)
        throw StartupError(
            QStringLiteral("%1 describes a top-level widget of class %2; %3 is required")
                .arg(path, rootClass, baseClass));
    return FormClass(path, baseClass, file.bytes);
}

void FormClass::verify() const
{
    std::unique_ptr<QWidget> trial;
    if (m_baseClass == QLatin1String("QMainWindow"))
        trial = std::make_unique<QMainWindow>();
    else
        trial = std::make_unique<QWidget>();
    setupUi(trial.get());
}

void FormClass::setupUi(QWidget *target) const
{
    std::unique_ptr<IntoWidgetLoader> loader;
    {
        PluginScanSuppressor noPluginScan;
        loader = std::make_unique<IntoWidgetLoader>(target);
    }
    loader->setTranslationEnabled(false);

    QBuffer buffer;
    buffer.setData(m_description);
    buffer.open(QIODevice::ReadOnly);
    QWidget *built = loader->load(&buffer, nullptr);
    if (built != target) {
        QString reason = loader->errorString();
        if (reason.isEmpty())
            reason = QStringLiteral("the form builder gave no reason");
        throw StartupError(QStringLiteral("cannot build the form from %1: %2").arg(m_path, reason));
    }
}

} // namespace korvel
