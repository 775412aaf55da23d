// The program's start-up, with every message box answered at once and reported on standard output as
// "BOX <icon> <parent|none> <text>", and "READY" printed once the event loop runs. Process tests drive this
// instead of the real executable so that no box waits for a click.
#include "app/MessageBox.h"
#include "app/Startup.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {
void announceEventLoop()
{
    QTimer::singleShot(0, [] {
        std::printf("READY\n");
        std::fflush(stdout);
    });
}
} // namespace

Q_COREAPP_STARTUP_FUNCTION(announceEventLoop)

int main(int argc, char** argv)
{
    MessageBox::setHandler([](const MessageBox::Request& request) {
        std::printf("BOX %d %s %s\n", int(request.icon), request.parent ? "parent" : "none",
                    request.text.toUtf8().constData());
        std::fflush(stdout);
        return QMessageBox::Ok;
    });
    return runApplication(argc, argv);
}
