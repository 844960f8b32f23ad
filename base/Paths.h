#pragma once

#include <QString>

namespace korvel {

// The fixed locations the program works with. The program itself always uses
// Paths::installed(); every component takes the paths it needs from its caller,
// so the same code can be pointed at files in another folder.
struct Paths
{
    QString mainForm;
    QString previewForm;
    QString settingsFile;
    QString icon;
    QString wallpaper;
    QString autostartEntry;
    QString font;
    QString tempDir; // ends with a slash
    QString shell;

    static Paths installed()
    {
        Paths p;
        p.mainForm = QStringLiteral("/usr/share/korvel/desktopinfo/korvelDesktopinfoGui.xml");
        p.previewForm = QStringLiteral("/usr/share/korvel/desktopinfo/preview.xml");
        p.settingsFile = QStringLiteral("/usr/share/korvel/desktopinfo/settings.ini");
        p.icon = QStringLiteral("/usr/share/icons/hicolor/256x256/apps/korvel-desktopinfo-gui");
        p.wallpaper = QStringLiteral("/usr/share/korvel/desktopinfo/wallpaper.png");
        p.autostartEntry = QStringLiteral("/etc/xdg/autostart/korvel-desktopinfo.desktop");
        p.font = QStringLiteral("/usr/share/fonts/truetype/noto/NotoSansDisplay-Regular.ttf");
        p.tempDir = QStringLiteral("/tmp/");
        p.shell = QStringLiteral("/bin/bash");
        return p;
    }
};

} // namespace korvel
