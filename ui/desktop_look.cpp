#include "ui/desktop_look.h"

#include <QApplication>
#include <QDir>
#include <QSettings>
#include <QStyle>
#include <QStyleFactory>

namespace zenvira::ui {

namespace {

ColorScheme schemeOfWord(const QString& text) {
    const QString lower = text.trimmed().toLower();
    if (lower == QLatin1String("dark")) return ColorScheme::Dark;
    if (lower == QLatin1String("light")) return ColorScheme::Light;
    return ColorScheme::Unknown;
}

// "Adwaita:dark", "Adwaita-dark", "Breeze-Dark": the theme's own name says it.
ColorScheme schemeOfThemeName(const QString& theme) {
    if (theme.isEmpty()) return ColorScheme::Unknown;
    return theme.contains(QLatin1String("dark"), Qt::CaseInsensitive) ? ColorScheme::Dark : ColorScheme::Light;
}

ColorScheme schemeOfGtkSettings(const QString& configFolder) {
    const QString file = QDir(configFolder).filePath(QStringLiteral("gtk-3.0/settings.ini"));
    if (!QFile::exists(file)) return ColorScheme::Unknown;
    QSettings gtk(file, QSettings::IniFormat);
    const QString prefer = gtk.value(QStringLiteral("Settings/gtk-application-prefer-dark-theme")).toString();
    if (prefer == QLatin1String("1") || prefer.compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return ColorScheme::Dark;
    return schemeOfThemeName(gtk.value(QStringLiteral("Settings/gtk-theme-name")).toString());
}

// KDE keeps the window's colour as "r,g,b".
ColorScheme schemeOfKdeGlobals(const QString& configFolder) {
    const QString file = QDir(configFolder).filePath(QStringLiteral("kdeglobals"));
    if (!QFile::exists(file)) return ColorScheme::Unknown;
    QSettings kde(file, QSettings::IniFormat);
    const QStringList rgb = kde.value(QStringLiteral("Colors:Window/BackgroundNormal")).toStringList();
    if (rgb.size() < 3) return ColorScheme::Unknown;
    const QColor window(rgb[0].toInt(), rgb[1].toInt(), rgb[2].toInt());
    return window.lightness() < 128 ? ColorScheme::Dark : ColorScheme::Light;
}

}  // namespace

DesktopColorSources desktopColorSources() {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty()) config = QDir::home().filePath(QStringLiteral(".config"));
    return {qEnvironmentVariable("ZENVIRA_COLOR_SCHEME"), qEnvironmentVariable("GTK_THEME"), config};
}

ColorScheme desktopColorScheme(const DesktopColorSources& sources) {
    for (const ColorScheme scheme :
         {schemeOfWord(sources.override), schemeOfThemeName(sources.gtkTheme),
          schemeOfGtkSettings(sources.configFolder), schemeOfKdeGlobals(sources.configFolder)})
        if (scheme != ColorScheme::Unknown) return scheme;
    return ColorScheme::Unknown;
}

bool isDarkPalette(const QPalette& palette) {
    return palette.color(QPalette::Window).lightness() < palette.color(QPalette::WindowText).lightness();
}

QPalette darkPalette() {
    const QColor window(0x2d, 0x2d, 0x30), base(0x1e, 0x1e, 0x1e), text(0xe8, 0xe8, 0xe8);
    const QColor disabled(0x7f, 0x7f, 0x7f), highlight(0x3d, 0x7f, 0xd6);
    QPalette palette(window);
    palette.setColor(QPalette::Window, window);
    palette.setColor(QPalette::WindowText, text);
    palette.setColor(QPalette::Base, base);
    palette.setColor(QPalette::AlternateBase, window);
    palette.setColor(QPalette::ToolTipBase, base);
    palette.setColor(QPalette::ToolTipText, text);
    palette.setColor(QPalette::PlaceholderText, disabled);
    palette.setColor(QPalette::Text, text);
    palette.setColor(QPalette::Button, window.lighter(115));
    palette.setColor(QPalette::ButtonText, text);
    palette.setColor(QPalette::BrightText, Qt::red);
    palette.setColor(QPalette::Link, highlight.lighter(130));
    palette.setColor(QPalette::Highlight, highlight);
    palette.setColor(QPalette::HighlightedText, Qt::white);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette.setColor(QPalette::Disabled, role, disabled);
    return palette;
}

void followDesktopColors(const DesktopColorSources& sources) {
    const ColorScheme wished = desktopColorScheme(sources);
    const bool dark = isDarkPalette(QApplication::palette());
    if (wished == ColorScheme::Unknown || (wished == ColorScheme::Dark) == dark) return;
    // Fusion draws every control from the palette, so the whole window follows it.
    if (QStyle* fusion = QStyleFactory::create(QStringLiteral("Fusion"))) QApplication::setStyle(fusion);
    QApplication::setPalette(wished == ColorScheme::Dark ? darkPalette() : QApplication::style()->standardPalette());
}

QIcon applicationIcon() {
    QIcon icon;
    for (const int size : {16, 32, 48, 128, 256})
        icon.addFile(QStringLiteral(":/zenvira/icons/zenvira-%1.png").arg(size), QSize(size, size));
    return icon;
}

}  // namespace zenvira::ui
