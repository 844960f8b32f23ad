#include "ImageChoice.h"

#include "mainwindow/Ui_MainWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QLineEdit>

#include <sys/stat.h>

namespace korvel {

namespace {

// Whether two paths name the same file, however they are spelt.
bool sameFile(const QString &a, const QString &b)
{
    struct stat first = {}, second = {};
    return ::stat(QFile::encodeName(a).constData(), &first) == 0 &&
           ::stat(QFile::encodeName(b).constData(), &second) == 0 &&
           first.st_dev == second.st_dev && first.st_ino == second.st_ino;
}

} // namespace

ImageChoice chosenImage(const Ui_MainWindow &ui, const QString &wallpaper)
{
    const QString shown = ui.lineBrowse->text();
    if (!shown.isEmpty() && shown == ui.storedImage)
        return {wallpaper, FileDescriptor::Links::Refuse, true};
    const bool sharedFolder =
        sameFile(QFileInfo(shown).absolutePath(), QFileInfo(wallpaper).absolutePath());
    return {shown, sharedFolder ? FileDescriptor::Links::Refuse : FileDescriptor::Links::Follow,
            false};
}

} // namespace korvel
