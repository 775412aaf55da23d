#pragma once

#include <QFrame>
#include <QPixmap>
#include <QPoint>

// The program's single top-level window: frameless, translucent, fixed to the size of its background picture,
// dragged with the left mouse button. Every screen is a child of it.
class BaseScreen : public QFrame {
    Q_OBJECT

public:
    explicit BaseScreen(const QPixmap& pixmap);

    QPoint dragOffset() const { return dragOffset_; }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap background_;
    // Cursor position relative to the window's top-left corner at the last left-button press.
    QPoint dragOffset_;
    bool alwaysOnTop_ = false;
};
