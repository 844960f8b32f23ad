#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

namespace korvel {

// A form class made at run time from a Qt Designer form description file.
// The file is read and checked once; setupUi() then builds the described
// widgets, layouts and properties into an existing top-level widget, as many
// times as needed, without reading the file again.
class FormClass
{
public:
    // Reads the file and checks that it is a form description whose top-level
    // widget is of class `baseClass`. Throws StartupError otherwise.
    static FormClass fromFile(const QString &path, const QString &baseClass);

    // Builds the form into `target`, which must be of the form's top-level
    // class (or derived from it). Throws StartupError when the form cannot be built.
    void setupUi(QWidget *target) const;

    const QString &path() const { return m_path; }
    const QString &baseClass() const { return m_baseClass; }

private:
    FormClass(QString path, QString baseClass, QByteArray description);

    QString m_path;
    QString m_baseClass;
    QByteArray m_description;
};

} // namespace korvel
