#pragma once

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>

// What a process that a test started has left behind, printed when the test has failed, so that the failure explains
// itself: whether the process still runs or how it ended (its exit code, or the signal that ended it), what it wrote
// to standard error and output (a sanitizer's report included), and the files it keeps (the program's activity log).
//
// The report is printed once, by printIfFailed() or at the latest when the report goes away, and only when the
// current test function has failed by then (a failure in init() or cleanup() counts as the function's). An owner
// that stops its process prints the report first, so that it tells how the process was before the test stopped it.
class ProcessReport {
public:
    explicit ProcessReport(QProcess& process, const QString& name = QString());
    ~ProcessReport();
    ProcessReport(const ProcessReport&) = delete;
    ProcessReport& operator=(const ProcessReport&) = delete;

    // A file the process writes (the activity log, log.dat), printed whole with the report.
    void addFile(const QString& path);
    // The program's activity log (log.dat) in the data directory under this home.
    void addActivityLog(const QString& home);
    // What the owner has already read from the process: the report prints it before what is still unread.
    void setReadOutput(std::function<QByteArray()> readOutput) { readOutput_ = std::move(readOutput); }
    // More to say about a process that still runs (its windows on the screen).
    void setDetails(std::function<QString()> details) { details_ = std::move(details); }

    void printIfFailed();
    QString text();

    // "runs (pid N)", "ended with exit code N", "ended by signal N (SIGSEGV: Segmentation fault)", "did not start:
    // ...".
    static QString status(const QProcess& process);

private:
    QProcess& process_;
    QString name_;
    QStringList files_;
    std::function<QByteArray()> readOutput_;
    std::function<QString()> details_;
    bool printed_ = false;
};

// The program (veltrane-auth, or the start-up harness that runs its start-up) as a process of the test: a QProcess
// whose report, with the activity log under the HOME of its environment, is printed when the test has failed by the
// time the process goes away, before it is killed.
class ProgramProcess : public QProcess {
public:
    ProgramProcess();
    ~ProgramProcess() override;
    ProgramProcess(const ProgramProcess&) = delete;
    ProgramProcess& operator=(const ProgramProcess&) = delete;

    ProcessReport& report() { return report_; }
    // Prints the report now when the test has failed (before the owner stops the process).
    void printReportIfFailed();

private:
    ProcessReport report_{*this};
};
