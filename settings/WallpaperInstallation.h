#pragma once

#include <QByteArray>
#include <QString>

namespace korvel {

class ImageSource;

// Installs a checked image as the wallpaper file in two steps, so that the old
// wallpaper stays in place until the new one is complete:
//  - prepare() writes the image to a temporary file in the wallpaper's folder,
//    with mode 0664, and flushes it to the disk;
//  - commit() renames it over the wallpaper file in one step.
// An installation that is not committed removes its temporary file.
//
// When the source is the installed wallpaper itself (same device and inode,
// whatever the path says), nothing is copied: the file keeps its content and
// commit() only gives it mode 0664.
class WallpaperInstallation
{
public:
    WallpaperInstallation(const ImageSource &source, QString target);
    ~WallpaperInstallation();
    WallpaperInstallation(const WallpaperInstallation &) = delete;
    WallpaperInstallation &operator=(const WallpaperInstallation &) = delete;

    bool prepare();
    bool commit();

    // The errno value of the step that failed.
    int error() const { return m_error; }

private:
    bool fail(int error);
    void discard();

    const ImageSource &m_source;
    QString m_target;
    QByteArray m_temporary; // native path of the prepared file, empty when none
    bool m_sourceIsTarget = false;
    bool m_prepared = false;
    int m_error = 0;
};

} // namespace korvel
