#pragma once

#include "app/ScreenSet.h"
#include "support/BoxRecorder.h"
#include "support/TestHome.h"

#include <QList>

#include <memory>

class AppController;
class AuthTransaction;
class ResourceStore;
class DevServer;
class QTimer;
class Tokendetails;
struct ResourceRecord;

// The program's screens as start-up builds them, on the offscreen platform, in a fresh home: the controller with
// its container, the resource store, the session, the four screens in the container's grid, and every message box
// recorded. The process-wide objects point at these while the fixture lives.
class ScreenFixture {
public:
    ScreenFixture();
    ~ScreenFixture();
    ScreenFixture(const ScreenFixture&) = delete;
    ScreenFixture& operator=(const ScreenFixture&) = delete;

    // Shows the container and then the first screen as start-up does (stored login or not).
    void start();
    // Writes a valid stored login (both files) with these resources, as a finished sign-in leaves them.
    void storeLogin(const QList<ResourceRecord>& resources, const QString& user = QStringLiteral("demo.user"),
                    const QString& password = QStringLiteral("demo-pass-2026"));
    // Sends every request of the screens to this server until the fixture goes.
    void useServer(const DevServer& server);

    TestHome home;
    BoxRecorder boxes;
    AppController* controller = nullptr;
    AuthTransaction* session = nullptr;
    ResourceStore* store = nullptr;
    ScreenSet screens;

private:
    std::unique_ptr<AppController> controllerOwner_;
    std::unique_ptr<AuthTransaction> sessionOwner_;
    std::unique_ptr<ResourceStore> storeOwner_;
};

// The token screen's one-second tick, found by its object name.
QTimer* countdownTimer(const Tokendetails* token);
// Ticks the token screen's countdown by hand from a fresh period down to `left` ticks (1..30): with one left, the
// next tick shows a new code. No tick on the way refreshes the code.
void tickCountdownTo(Tokendetails* token, int left);
