#pragma once

#include <QByteArray>
#include <QProcess>

// The helper processes that tests start (servers, proxies, X servers, tray hosts, buses) end and announce themselves
// the same way.
namespace ChildProcess {

// Asks the process to end and kills it when it has not ended within five seconds. When the current test has failed,
// prints first what the process left behind (ProcessReport): how it is or how it ended by itself, and its output.
void stop(QProcess& process);

// Reads the process's standard output until it prints "listening on HOST:PORT" and returns the port; 0 when the
// process ends or the time runs out first. What was read is appended to `output` when one is given.
quint16 waitForListening(QProcess& process, int timeoutMs, QByteArray* output = nullptr);

} // namespace ChildProcess
