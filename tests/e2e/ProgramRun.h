#pragma once

#include "support/DesktopDriver.h"
#include "support/ProcessReport.h"

#include <QByteArray>
#include <QDateTime>
#include <QProcess>
#include <QString>
#include <QStringList>

// The real veltrane-auth as a separate process on a test desktop, with its own HOME.
//
// Message boxes: QMessageBox draws its text itself, so no X property carries it. The program's message service traces
// every box on the logging category "veltrane.boxes"; the run switches that category on and prints bare messages, so
// each box is one line "box: <title> | <text>" on standard error, and boxTexts() collects the texts. On the screen a
// box is a window titled "Veltrane Auth".
//
// When the test fails, the run prints how the program is or how it ended, all it wrote and its activity log.
class ProgramRun {
public:
    ProgramRun(const Desktop::Session& desktop, const QString& home);
    ~ProgramRun();
    ProgramRun(const ProgramRun&) = delete;
    ProgramRun& operator=(const ProgramRun&) = delete;

    static QString executable();

    // Starts the program; `program` replaces the built one (an installed copy).
    bool start(const QString& program = executable());
    qint64 pid() const { return process_.processId(); }
    bool isRunning() const { return process_.state() != QProcess::NotRunning; }
    // Waits for the process to end; the exit code, or -1 when it did not end normally in time.
    int waitForExit(int timeoutMs);
    void kill();
    // What became of the process and its windows, for a failure's message: running with its mapped windows, or how
    // it ended.
    QString describe() const;

    // The frameless container window (550 x 200, the size of its background picture), once it is mapped.
    Desktop::Window waitForContainer(int timeoutMs) const;
    // A message box of the program, once one is mapped.
    Desktop::Window waitForBox(int timeoutMs) const;
    bool waitForNoBox(int timeoutMs) const;
    // The start-up balloon at the tray icon, once it is mapped. The program shows it from its event loop once the
    // tray host has placed the icon, so it comes after everything the start-up does before that loop (the first
    // screen, and a box that screen brings).
    Desktop::Window waitForBalloon(int timeoutMs) const;

    // Everything the program wrote to standard output and standard error so far.
    QByteArray output();
    // The texts of the boxes traced so far, oldest first.
    QStringList boxTexts();
    // Waits until at least `count` boxes were traced.
    bool waitForBoxCount(qsizetype count, int timeoutMs);
    bool waitForBoxText(const QString& text, int timeoutMs);

    QString dataDir() const;
    QString dataFile(const QString& name) const;
    // Waits until a file of the data directory exists and was modified after `since` (any time when invalid).
    bool waitForDataFile(const QString& name, const QDateTime& since, int timeoutMs) const;
    // The activity log's entries (the text after the date and time), oldest first.
    QStringList logMessages() const;
    // Waits until the log has `message` among its entries from index `from` on (0: any entry).
    bool waitForLogMessage(const QString& message, int timeoutMs, qsizetype from = 0) const;

private:
    QString mappedWindows() const;

    const Desktop::Session& desktop_;
    QString home_;
    QProcess process_;
    QByteArray output_;
    ProcessReport report_{process_, QStringLiteral("veltrane-auth")};
};

// Generous limits: the sanitizer build starts several times slower, and start-up pauses two seconds by design.
constexpr int kStartTimeoutMs = 60000;
constexpr int kStepTimeoutMs = 30000;
