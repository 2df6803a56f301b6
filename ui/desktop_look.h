#pragma once
// The desktop around the windows: its light or dark colours and the program's icon.
//
// A desktop whose Qt theme already hands the application a palette (KDE, a GTK theme plugin)
// is followed as it is. Elsewhere Qt paints Fusion's light palette whatever the desktop says;
// then the desktop's wish is read where desktops keep it (ZENVIRA_COLOR_SCHEME=dark|light
// first, then GTK_THEME, GTK 3's settings.ini, KDE's kdeglobals) and a dark desktop gets a dark
// Fusion palette. A skin file colours its windows over that, role by role.
#include <QIcon>
#include <QPalette>
#include <QString>

namespace zenvira::ui {

enum class ColorScheme { Unknown, Light, Dark };

// Where the desktop's wish is read; tests name their own.
struct DesktopColorSources {
    QString override;  // ZENVIRA_COLOR_SCHEME
    QString gtkTheme;  // GTK_THEME, e.g. "Adwaita:dark"
    QString configFolder;  // $XDG_CONFIG_HOME, else ~/.config
};
DesktopColorSources desktopColorSources();

ColorScheme desktopColorScheme(const DesktopColorSources& sources);

// A palette is dark when its window is darker than its text.
bool isDarkPalette(const QPalette& palette);
// Fusion's colours for a dark desktop.
QPalette darkPalette();

// Gives the application the desktop's colours (see above); call once after QApplication.
void followDesktopColors(const DesktopColorSources& sources = desktopColorSources());

// Zenvira's icon at every size it is drawn (16 to 256 pixels), sharp at twice the scale.
QIcon applicationIcon();

}  // namespace zenvira::ui
