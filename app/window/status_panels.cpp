#include "app/window/status_panels.h"

#include <QLabel>
#include <QMouseEvent>
#include <algorithm>
#include <utility>

namespace zenvira::window {

namespace {
constexpr int kPanelGap = 2;
}

StatusPanels::StatusPanels(QWidget* parent) : QFrame(parent) {
    for (int i = 0; i < kPanelCount; ++i) {
        auto* label = new QLabel(this);
        label->setObjectName(QStringLiteral("STBar_Panel%1").arg(i + 1));
        label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        label->setTextFormat(Qt::PlainText);
        label->setIndent(4);
        panels_[static_cast<std::size_t>(i)] = label;
    }
}

void StatusPanels::setPanel1Width(int pixels) {
    panel1Width_ = pixels;
    layoutPanels();
}

QLabel* StatusPanels::panel(int number) const {
    if (number < 1 || number > kPanelCount) return nullptr;
    return panels_[static_cast<std::size_t>(number - 1)];
}

void StatusPanels::setPanelText(int number, const QString& text) {
    if (auto* label = panel(number)) label->setText(text);
}

QString StatusPanels::panelText(int number) const {
    const auto* label = panel(number);
    return label ? label->text() : QString();
}

void StatusPanels::setPanelToolTip(int number, const QString& toolTip) {
    if (auto* label = panel(number)) label->setToolTip(toolTip);
}

void StatusPanels::mousePressEvent(QMouseEvent* event) {
    pressedPanel_ = event->button() == Qt::LeftButton ? panelAt(event->position().toPoint()) : 0;
    event->accept();
}

void StatusPanels::mouseReleaseEvent(QMouseEvent* event) {
    const int released = event->button() == Qt::LeftButton ? panelAt(event->position().toPoint()) : 0;
    const int pressed = std::exchange(pressedPanel_, 0);
    event->accept();
    if (released != 0 && released == pressed) emit PanelClick(released);
}

void StatusPanels::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    layoutPanels();
}

int StatusPanels::panelAt(const QPoint& pos) const {
    for (int i = 0; i < kPanelCount; ++i)
        if (panels_[static_cast<std::size_t>(i)]->geometry().contains(pos)) return i + 1;
    return 0;
}

void StatusPanels::layoutPanels() {
    const QRect area = contentsRect();
    const int first = std::clamp(panel1Width_, 0, area.width());
    panels_[0]->setGeometry(area.x(), area.y(), first, area.height());
    const int secondLeft = area.x() + first + kPanelGap;
    panels_[1]->setGeometry(secondLeft, area.y(), std::max(0, area.right() + 1 - secondLeft), area.height());
}

}  // namespace zenvira::window
