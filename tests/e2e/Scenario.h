#pragma once

#include "ProgramRun.h"

#include <QString>

#include <memory>

class DevServer;
class TestHome;

// The steps the end-to-end scenarios share: a fresh home, the development server on the program's own address, the
// program started and signed in with the demo account, and a copied code checked by the server.
namespace Scenario {

inline const QString kDemoUser = QStringLiteral("demo.user");
inline const QString kDemoPassword = QStringLiteral("demo-pass-2026");

// A fresh home without a data directory: the program makes it.
std::unique_ptr<TestHome> freshHome();
// A development server, not started yet, on the program's server address (127.0.0.1:8443, a build constant).
std::unique_ptr<DevServer> serverOnProgramAddress();
// Starts the server with `data`; says why on failure.
bool startServer(DevServer& server, const QJsonObject& data);

// Starts the program in `home` and waits for its container window, which goes to `container` when given.
std::unique_ptr<ProgramRun> startProgram(const Desktop::Session& desktop, const QString& home,
                                         Desktop::Window* container = nullptr);
// Signs in with the login window by the keyboard alone: the user field has the focus at start, Enter moves to the
// password field, Enter there logs in. False when a key could not be sent.
bool signIn(const Desktop::Session& desktop, const Desktop::Window& container, const QString& user,
            const QString& password);

// The six digits on the clipboard once they differ from `previous` (waits up to 5 s); empty when none came.
QString waitForClipboardCode(const Desktop::Session& desktop, const QString& previous = QString());
// Ctrl+C on the token screen and the code it copied. The window gets the X input focus first, as a window manager
// gives it on a click; Qt fires the window's shortcuts only for its active window.
QString copyCodeByKeys(const Desktop::Session& desktop, const Desktop::Window& container,
                       const QString& previous = QString());
// For a failed scenario: the requests the server deciphered (servlet and fields) and what it wrote on standard error,
// so that a reply the program could not read can be told from a request the server could not read.
void reportServer(const DevServer& server);
// Whether `veltrane-devserver verify` takes `code` as the demo user's current code for `resource`.
bool serverAcceptsCode(const DevServer& server, const QString& resource, const QString& code);

} // namespace Scenario
