#pragma once
// A window skin: colours, a font and a Qt style sheet, read from an INI file such as
//
//   [Skin]        Name=iTunes
//   [Colors]      Window=#d8d8d8  Text=#1e1e1e  Button=...  ButtonText=...  Accent=...
//   [Font]        Family=Segoe UI, Lucida Grande, DejaVu Sans   Size=9
//   [StyleSheet]  File=itunes.qss      (relative to the skin's folder)  or  Inline=QWidget {...}
//
// The style sheet may name any colour of [Colors] as ${Name}; the names are replaced by the
// colours before the sheet is used. A skin is taken whole or not at all: any fault in the
// file or the style sheet it names rejects the skin, and the window keeps its plain look.
#include <QColor>
#include <QMap>
#include <QString>
#include <QStringList>
#include <optional>

namespace zenvira::ui {

struct Skin {
    QString name;
    QMap<QString, QColor> colors;  // by lower-case name
    QStringList fontFamilies;      // first that is installed wins
    int fontPointSize = 0;         // 0 keeps the size
    QString styleSheet;            // with the colours filled in

    std::optional<QColor> color(const QString& name) const;
};

struct SkinLoad {
    std::optional<Skin> skin;
    QString error;  // why there is no skin
};

// Reads <folder>/<iniName> and the style sheet it refers to.
SkinLoad loadSkin(const QString& folder, const QString& iniName);

// The application's skin, which every window wears: Styles/iTunes/Normalitunes.ini under the
// application folder.
SkinLoad loadApplicationSkin(const QString& applicationFolder);

}  // namespace zenvira::ui
