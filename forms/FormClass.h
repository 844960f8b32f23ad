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
    static constexpr qint64 MaxSize = 4 * 1024 * 1024;

    // Reads the file and checks that it is a form description whose top-level
    // widget is of class `baseClass`. The file must be a regular file (not a
    // link to one) that
    // belongs to root or to the user running the program and that nobody else
    // may write. Throws StartupError otherwise.
    static FormClass fromFile(const QString &path, const QString &baseClass);

    // Builds the form once into a widget of its own that is thrown away, so
    // that a form the builder refuses is found before it is needed. Needs the
    // application object. Throws StartupError.
    void verify() const;

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
