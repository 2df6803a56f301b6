#include "app/window/text_progress_bar.h"

#include <algorithm>

namespace zenvira::window {

TextProgressBar::TextProgressBar(QWidget* parent) : QProgressBar(parent) {
    setRange(0, 100);
    setValue(0);
    setTextVisible(true);
    setAlignment(Qt::AlignCenter);
}

void TextProgressBar::setMaxAndValue(int max, int value) {
    if (max <= 0) {
        setRange(0, 1);
        setValue(value >= max ? 1 : 0);
        return;
    }
    setRange(0, max);
    setValue(std::clamp(value, 0, max));
}

void TextProgressBar::setBusy() {
    setRange(0, 0);
    overlay_.clear();
    update();
}

void TextProgressBar::setOverlayText(const QString& text) {
    overlay_ = text;
    update();
}

QString TextProgressBar::text() const { return overlay_; }

}  // namespace zenvira::window
