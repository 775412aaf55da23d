#include "app/BaseScreen.h"

#include <QMouseEvent>
#include <QPainter>

BaseScreen::BaseScreen(const QPixmap& pixmap)
    : QFrame(nullptr, Qt::FramelessWindowHint), background_(pixmap), dragOffset_(0, 0)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // The window can be neither resized nor maximised.
    setFixedSize(pixmap.size());
    Qt::WindowFlags flags = Qt::FramelessWindowHint;
    if (alwaysOnTop_) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);
}

void BaseScreen::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    event->accept();
}

void BaseScreen::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    move(event->globalPosition().toPoint() - dragOffset_);
    event->accept();
}

void BaseScreen::paintEvent(QPaintEvent*)
{
    // Only the picture is painted; its transparent parts stay transparent.
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
}
