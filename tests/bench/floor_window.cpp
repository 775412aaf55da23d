// The floor of the start-up benchmark: the least a Qt 6 program with one frameless window and a 175 ms timer (the
// status marquee's period) costs on this machine. scripts/bench sets veltrane-auth against it, step by step with the
// start-up trace's steps that both have.
#include "core/StartupTrace.h"

#include <QApplication>
#include <QEvent>
#include <QFrame>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

namespace {
class FirstPaintTrace : public QObject {
protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint) {
            StartupTrace::step("first window painted");
            watched->removeEventFilter(this);
        }
        return false;
    }
};
} // namespace

int main(int argc, char** argv)
{
    StartupTrace::start();
    QApplication application(argc, argv);
    StartupTrace::step("application");
    QFrame window(nullptr, Qt::FramelessWindowHint);
    window.setFixedSize(550, 200);
    auto* layout = new QVBoxLayout(&window);
    auto* label = new QLabel(&window);
    layout->addWidget(label);
    QString text = QStringLiteral("                Please Login..!  ");
    QTimer marquee;
    QObject::connect(&marquee, &QTimer::timeout, &window, [&] {
        text = text.mid(1) + text.left(1);
        label->setText(text);
    });
    marquee.start(175);
    FirstPaintTrace paintTrace;
    window.installEventFilter(&paintTrace);
    window.show();
    StartupTrace::step("container shown");
    return QApplication::exec();
}
