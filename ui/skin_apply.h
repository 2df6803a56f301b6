#pragma once
// Puts a skin on one window: its palette, its font and its style sheet. Children inherit
// them; a control whose font was set on purpose (the buttons' Tahoma) keeps its family.
#include "ui/skin_file.h"

class QWidget;

namespace zenvira::ui {

void applySkin(QWidget& window, const Skin& skin);

}  // namespace zenvira::ui
