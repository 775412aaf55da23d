#include "ui/shell/BaseScreen.h"

#include "core/DataPaths.h"
#include "core/SharedText.h"
#include "storage/SettingsFile.h"
#include "ui/shell/platform/Compositing.h"

#include <QApplication>
#include <QBitmap>
#include <QEvent>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>
#include <QWindow>

namespace {
// How often the display is asked whether a compositing manager has started or stopped.
const int kCompositingPollMs = 1500;
} // namespace

BaseScreen::BaseScreen(const QPixmap& pixmap)
    : QFrame(nullptr, Qt::FramelessWindowHint), background_(pixmap), dragOffset_(0, 0)
{
    setAttribute(Qt::WA_TranslucentBackground);
    // The name of the taskbar entry and of the window lists, with a tray or without.
    setWindowTitle(SharedText::get().appName);
    // The window can be neither resized nor maximised.
    setFixedSize(pixmap.deviceIndependentSize().toSize());
    // Only the "Always Top" record matters here; the controller reads the whole file for itself.
    const QString settingsPath = homeFilePath(SharedText::get().settingsFileRel);
    if (QFile::exists(settingsPath)) {
        alwaysOnTop_ = SettingsFile::read(settingsPath).alwaysOnTop;
    }
    Qt::WindowFlags flags = Qt::FramelessWindowHint;
    if (alwaysOnTop_) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    setWindowFlags(flags);

    // Where the display may lack a compositing manager (X11), the window's shape follows what it draws.
    if (Compositing::current() != Compositing::State::Unknown) {
        reshapeTimer_ = new QTimer(this);
        reshapeTimer_->setSingleShot(true);
        connect(reshapeTimer_, &QTimer::timeout, this, &BaseScreen::updateShape);
        // The picture is drawn anew only when the compositing manager has come or gone, not at every poll.
        auto* poll = new QTimer(this);
        connect(poll, &QTimer::timeout, this, [this] {
            if ((Compositing::current() == Compositing::State::Absent) != shaped_) {
                updateShape();
            }
        });
        poll->start(kCompositingPollMs);
        // Screens switch by showing and hiding, and the tags hide while the window is inactive.
        qApp->installEventFilter(this);
    }
}

bool BaseScreen::eventFilter(QObject* watched, QEvent* event)
{
    if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == this) {
        reshapeTimer_->start(0);
    }
    return QFrame::eventFilter(watched, event);
}

void BaseScreen::updateShape()
{
    if (!isVisible()) {
        return;
    }
    // Without a compositing manager the X server shows the window's pixels as they are: every transparent one black.
    // The window then takes the shape of what it draws, the background and the visible screens, pixels more than
    // half opaque; with a compositing manager the whole window is blended over the desktop again.
    QRegion shape;
    shaped_ = Compositing::current() == Compositing::State::Absent;
    if (shaped_) {
        QImage drawn = grab().toImage();
        if (drawn.size() != size()) {
            drawn = drawn.scaled(size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        }
        shape = QRegion(QBitmap::fromImage(drawn.createAlphaMask(Qt::ThresholdAlphaDither)));
    }
    if (shape != mask()) {
        if (shape.isEmpty()) {
            clearMask();
        } else {
            setMask(shape);
        }
    }
}

void BaseScreen::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        return;
    }
    dragOffset_ = event->globalPosition().toPoint() - frameGeometry().topLeft();
    dragMode_ = DragMode::NotStarted;
    event->accept();
}

void BaseScreen::mouseMoveEvent(QMouseEvent* event)
{
    if (!(event->buttons() & Qt::LeftButton)) {
        return;
    }
    // The window system's own move where it offers one: Wayland compositors ignore a client's move(), and under X11
    // the window manager then moves the window itself. Asked on the first movement rather than at the press, so that
    // a plain click still reaches the screens. Where it is refused (X11 without a window manager), the window follows
    // the cursor by move().
    if (dragMode_ == DragMode::NotStarted) {
        QWindow* window = windowHandle();
        dragMode_ = window && window->startSystemMove() ? DragMode::System : DragMode::Own;
    }
    if (dragMode_ == DragMode::Own) {
        move(event->globalPosition().toPoint() - dragOffset_);
    }
    event->accept();
}

void BaseScreen::paintEvent(QPaintEvent*)
{
    // Only the picture is painted; its transparent parts stay transparent.
    QPainter painter(this);
    painter.drawPixmap(rect(), background_);
}

void BaseScreen::setAlwaysOnTop(bool onTop)
{
    alwaysOnTop_ = onTop;
    Qt::WindowFlags flags = Qt::FramelessWindowHint;
    if (onTop) {
        flags |= Qt::WindowStaysOnTopHint;
    }
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == onTop) {
        // Re-applying the same flags would only re-create the native window and make it flicker.
        return;
    }
    // New flags re-create the native window hidden and at the default place: put it back where the user left it.
    const bool wasVisible = isVisible();
    const QPoint position = pos();
    applyingFlags_ = true;
    setWindowFlags(flags);
    applyingFlags_ = false;
    move(position);
    if (wasVisible) {
        show();
    }
}

void BaseScreen::setVisible(bool visible)
{
    if (!visible && !applyingFlags_ && minimisesInsteadOfHiding_) {
        showMinimized();
        return;
    }
    QFrame::setVisible(visible);
}

void BaseScreen::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::ActivationChange) {
        // The change has happened: a window that is not active now was active before.
        emit activationChanged(!isActiveWindow());
    }
    QFrame::changeEvent(event);
}
