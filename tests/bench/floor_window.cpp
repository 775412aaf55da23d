// The floor of the start-up benchmark: the least a Qt 6 program with one frameless window and a 175 ms timer (the
// status marquee's period) costs on this machine. scripts/bench sets veltrane-auth against it.
#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QTimer>
#include <QVBoxLayout>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
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
    window.show();
    return QApplication::exec();
}
