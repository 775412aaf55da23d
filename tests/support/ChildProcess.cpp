#include "support/ChildProcess.h"

#include "support/ProcessReport.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

namespace ChildProcess {

namespace {
// Set once stop() has ended the process, cleared when it starts again: a process that has already ended is reported
// only when it ended by itself.
const char* const kStoppedProperty = "veltraneStoppedByTest";
} // namespace

void stop(QProcess& process)
{
    if (!process.property(kStoppedProperty).toBool()) {
        ProcessReport(process).printIfFailed();
    }
    if (!process.property(kStoppedProperty).isValid()) {
        QObject::connect(&process, &QProcess::stateChanged, &process, [&process](QProcess::ProcessState state) {
            if (state == QProcess::Starting) {
                process.setProperty(kStoppedProperty, false);
            }
        });
    }
    process.setProperty(kStoppedProperty, true);
    if (process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(5000)) {
            process.kill();
            process.waitForFinished(5000);
        }
    }
}

quint16 waitForListening(QProcess& process, int timeoutMs, QByteArray* output)
{
    static const QRegularExpression listening(QStringLiteral("listening on [^\\s]+:(\\d+)"));
    QByteArray read;
    QDeadlineTimer deadline(timeoutMs);
    quint16 port = 0;
    while (port == 0 && !deadline.hasExpired() && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(int(deadline.remainingTime()));
        read += process.readAllStandardOutput();
        const QRegularExpressionMatch match = listening.match(QString::fromLatin1(read));
        if (match.hasMatch()) {
            port = quint16(match.captured(1).toUInt());
        }
    }
    if (output) {
        *output += read;
    }
    return port;
}

} // namespace ChildProcess
