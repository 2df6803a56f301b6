#pragma once
// The movie's control bar: play/pause button, seek bar, "0:12 / 1:30" and volume, painted
// here and answering the mouse. It shows what it is told and says what was clicked.
#include <QWidget>

namespace zenvira::components {

class ControlBar : public QWidget {
    Q_OBJECT

public:
    explicit ControlBar(QWidget* parent);

    void setPaused(bool paused);
    void setPosition(double seconds);
    void setDuration(double seconds);
    void setVolume(int percent);

signals:
    void playPauseClicked();
    void seekRequested(double fraction);  // 0..1 of the duration
    void volumeRequested(int percent);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

private:
    void paintPlayButton(class QPainter& painter, const QRect& area) const;
    void paintBar(QPainter& painter, const QRect& area, double fraction, const QColor& fill) const;

    bool paused_ = true;
    double position_ = 0;
    double duration_ = 0;
    int volume_ = 100;
};

}  // namespace zenvira::components
