#include "support/ChildProcess.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

namespace ChildProcess {

void stop(QProcess& process)
{
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
