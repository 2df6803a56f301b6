#include "ui/skin_apply.h"

#include <QFont>
#include <QPalette>
#include <QWidget>

namespace zenvira::ui {

namespace {

void setRole(QPalette& palette, QPalette::ColorRole role, const std::optional<QColor>& color) {
    if (color) palette.setColor(role, *color);
}

QPalette skinPalette(const QPalette& base, const Skin& skin) {
    QPalette palette = base;
    const auto text = skin.color(QStringLiteral("Text"));
    setRole(palette, QPalette::Window, skin.color(QStringLiteral("Window")));
    setRole(palette, QPalette::WindowText, text);
    setRole(palette, QPalette::Text, text);
    setRole(palette, QPalette::Base, skin.color(QStringLiteral("Base")));
    setRole(palette, QPalette::AlternateBase, skin.color(QStringLiteral("AlternateBase")));
    setRole(palette, QPalette::Button, skin.color(QStringLiteral("Button")));
    setRole(palette, QPalette::ButtonText, skin.color(QStringLiteral("ButtonText")));
    const auto highlight = skin.color(QStringLiteral("Highlight"));
    setRole(palette, QPalette::Highlight, highlight ? highlight : skin.color(QStringLiteral("Accent")));
    setRole(palette, QPalette::HighlightedText, skin.color(QStringLiteral("HighlightedText")));
    if (const auto disabled = skin.color(QStringLiteral("DisabledText"))) {
        for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            palette.setColor(QPalette::Disabled, role, *disabled);
    }
    return palette;
}

}  // namespace

void applySkin(QWidget& window, const Skin& skin) {
    window.setPalette(skinPalette(window.palette(), skin));
    if (!skin.fontFamilies.isEmpty() || skin.fontPointSize > 0) {
        QFont font = window.font();
        if (!skin.fontFamilies.isEmpty()) font.setFamilies(skin.fontFamilies);
        if (skin.fontPointSize > 0) font.setPointSize(skin.fontPointSize);
        window.setFont(font);
    }
    window.setStyleSheet(skin.styleSheet);
}

}  // namespace zenvira::ui
