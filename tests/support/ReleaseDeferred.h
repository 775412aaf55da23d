#pragma once

#include <QCoreApplication>
#include <QEvent>

// Runs the deletions that a request leaves to the event loop. A finished reply goes with deleteLater, and its network
// manager (with the TLS connection it keeps) only once the reply has gone: two rounds. A test that ends before them
// leaves the manager, and the connection's OpenSSL objects, to the leak checker.
inline void releaseDeferred()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}
