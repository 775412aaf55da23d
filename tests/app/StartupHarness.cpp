// The program's start-up, with every message box answered at once and reported on standard output as
// "BOX <icon> <parent|none> <text>", and "READY login=<shown|hidden> token=<shown|hidden>" printed once the event
// loop runs, naming which of the two screens is visible then; when start-up returns without an event loop (no tray),
// "IDENTITY=<hex>" with the device identity it collected. Process tests drive this instead of the real
// executable so that no box waits for a click.
#include "app/AppController.h"
#include "app/MessageBox.h"
#include "app/Startup.h"
#include "ui/login/MainWindow.h"
#include "ui/token/Tokendetails.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {
const char* visibility(const QWidget* screen)
{
    return screen && screen->isVisible() ? "shown" : "hidden";
}

void announceEventLoop()
{
    QTimer::singleShot(0, [] {
        const AppController* controller = appController();
        std::printf("READY login=%s token=%s\n", visibility(controller ? controller->loginWindow() : nullptr),
                    visibility(controller ? controller->tokenScreen() : nullptr));
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
    const int exitCode = runApplication(argc, argv);
    // Start-up came back without running the event loop (no tray here): the identity it collected, in hex.
    if (exitCode == 1 && appController()) {
        std::printf("IDENTITY=%s\n", appController()->deviceIdentity().toLatin1().toHex().constData());
        std::fflush(stdout);
    }
    return exitCode;
}
