#include "support/ProcessReport.h"

#include "core/SharedText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QtDebug>

#ifdef Q_OS_UNIX
#include <cstring>
#endif

namespace {
// A section of the report: its title, then the text (or "(nothing)"), each line indented so that it stands apart
// from the test's own lines.
QString section(const QString& title, const QByteArray& text)
{
    QString body = QString::fromLocal8Bit(text);
    if (body.endsWith(QLatin1Char('\n'))) {
        body.chop(1);
    }
    body.remove(QLatin1Char('\r'));
    if (body.isEmpty()) {
        body = QStringLiteral("(nothing)");
    }
    return QStringLiteral("  -- %1:\n    ").arg(title) + body.replace(QLatin1Char('\n'), QStringLiteral("\n    "));
}
} // namespace

ProcessReport::ProcessReport(QProcess& process, const QString& name) : process_(process), name_(name) {}

ProcessReport::~ProcessReport()
{
    printIfFailed();
}

void ProcessReport::addFile(const QString& path)
{
    files_.append(path);
}

void ProcessReport::addActivityLog(const QString& home)
{
    // The program's relative paths are written with the Windows separator.
    addFile(QDir::cleanPath(home + QLatin1Char('/') +
                            QString(SharedText::get().logFileRel).replace(QLatin1Char('\\'), QLatin1Char('/'))));
}

void ProcessReport::printIfFailed()
{
    // A process that was never started (a tray host on a desktop without one) has nothing to tell.
    if (printed_ || !QTest::currentTestFailed() || process_.program().isEmpty()) {
        return;
    }
    printed_ = true;
    // QTest prints the message under the failed test function's name.
    qInfo().noquote() << text();
}

QString ProcessReport::status(const QProcess& process)
{
    switch (process.state()) {
    case QProcess::Starting:
        return QStringLiteral("is starting");
    case QProcess::Running:
        return QStringLiteral("runs (pid %1)").arg(process.processId());
    case QProcess::NotRunning:
        break;
    }
    if (process.error() == QProcess::FailedToStart) {
        return QStringLiteral("did not start: ") + process.errorString();
    }
    if (process.exitStatus() == QProcess::NormalExit) {
        return QStringLiteral("ended with exit code %1").arg(process.exitCode());
    }
    // After a crash QProcess gives the number of the signal that ended the process as its exit code.
    const int signal = process.exitCode();
    QString ended = QStringLiteral("ended by signal %1").arg(signal);
#ifdef Q_OS_UNIX
    if (const char* abbreviation = sigabbrev_np(signal)) {
        ended += QStringLiteral(" (SIG%1: %2)")
                     .arg(QString::fromLatin1(abbreviation), QString::fromLocal8Bit(strsignal(signal)));
    }
#endif
    return ended;
}

QString ProcessReport::text()
{
    // Waiting for no time makes QProcess notice an end that no event loop has delivered yet.
    if (process_.state() == QProcess::Running) {
        process_.waitForFinished(0);
    }
    const QString name = name_.isEmpty() ? QFileInfo(process_.program()).fileName() : name_;
    QString report = QStringLiteral("The test failed; what %1 left behind:\n  -- it %2").arg(name, status(process_));
    if (process_.state() == QProcess::Running && details_) {
        report += QStringLiteral(", ") + details_();
    }
    // What the pipes hold now, not only what an event loop has read from them so far.
    if (process_.state() == QProcess::Running) {
        for (int reads = 0; reads < 1000 && process_.waitForReadyRead(0); ++reads) {
        }
    }
    const QByteArray read = readOutput_ ? readOutput_() : QByteArray();
    switch (process_.processChannelMode()) {
    case QProcess::MergedChannels:
        report += QLatin1Char('\n') +
                  section(QStringLiteral("standard output and error"), read + process_.readAllStandardOutput());
        break;
    case QProcess::ForwardedChannels:
        report += QStringLiteral("\n  -- its standard output and error went to the test's own, above");
        break;
    case QProcess::ForwardedErrorChannel:
        report +=
            QLatin1Char('\n') + section(QStringLiteral("standard output"), read + process_.readAllStandardOutput());
        report += QStringLiteral("\n  -- its standard error went to the test's own, above");
        break;
    case QProcess::ForwardedOutputChannel:
        report += QLatin1Char('\n') + section(QStringLiteral("standard error"), read + process_.readAllStandardError());
        break;
    case QProcess::SeparateChannels:
        report += QLatin1Char('\n') + section(QStringLiteral("standard error"), process_.readAllStandardError());
        report +=
            QLatin1Char('\n') + section(QStringLiteral("standard output"), read + process_.readAllStandardOutput());
        break;
    }
    for (const QString& path : files_) {
        QFile file(path);
        report +=
            QLatin1Char('\n') + (file.open(QIODevice::ReadOnly)
                                     ? section(path, file.readAll())
                                     : QStringLiteral("  -- %1: cannot be read (%2)").arg(path, file.errorString()));
    }
    return report;
}

ProgramProcess::ProgramProcess() = default;

ProgramProcess::~ProgramProcess()
{
    printReportIfFailed();
}

void ProgramProcess::printReportIfFailed()
{
    if (!QTest::currentTestFailed()) {
        return;
    }
    const QProcessEnvironment env = processEnvironment();
    const QString home =
        env.contains(QStringLiteral("HOME")) ? env.value(QStringLiteral("HOME")) : qEnvironmentVariable("HOME");
    report_.addActivityLog(home);
    report_.printIfFailed();
}
