#include "ProgramRun.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {
constexpr int kContainerWidth = 550;
constexpr int kContainerHeight = 200;

bool isContainer(const Desktop::Window& window)
{
    return window.geometry.width() == kContainerWidth && window.geometry.height() == kContainerHeight;
}

bool isBox(const Desktop::Window& window)
{
    return window.name == QLatin1String("Veltrane Auth") && !isContainer(window);
}

// The tray icon is at most 32 x 32; the balloon is an untitled window wider than that.
bool isBalloon(const Desktop::Window& window)
{
    return window.name != QLatin1String("Veltrane Auth") && window.geometry.width() > 32 &&
           window.geometry.height() > 32;
}
} // namespace

ProgramRun::ProgramRun(const Desktop::Session& desktop, const QString& home) : desktop_(desktop), home_(home)
{
    report_.setReadOutput([this] { return output_; });
    report_.setDetails([this] { return mappedWindows(); });
    report_.addActivityLog(home_);
}

ProgramRun::~ProgramRun()
{
    report_.printIfFailed();
    kill();
}

QString ProgramRun::executable()
{
    return QStringLiteral(VELTRANE_PROGRAM_EXE);
}

bool ProgramRun::start(const QString& program)
{
    QProcessEnvironment env = desktop_.environment();
    env.insert(QStringLiteral("HOME"), home_);
    // The box trace, as bare lines.
    env.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("veltrane.boxes.debug=true"));
    env.insert(QStringLiteral("QT_MESSAGE_PATTERN"), QStringLiteral("%{message}"));
    env.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::MergedChannels);
    process_.start(program, {});
    return process_.waitForStarted(kStepTimeoutMs);
}

int ProgramRun::waitForExit(int timeoutMs)
{
    if (!Desktop::waitUntil([this] { return process_.state() == QProcess::NotRunning; }, timeoutMs)) {
        return -1;
    }
    output();
    return process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
}

void ProgramRun::kill()
{
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(kStepTimeoutMs);
    }
}

QString ProgramRun::describe() const
{
    if (process_.state() == QProcess::NotRunning) {
        return QStringLiteral("it ") + ProcessReport::status(process_);
    }
    return QStringLiteral("it runs, ") + mappedWindows();
}

QString ProgramRun::mappedWindows() const
{
    QStringList windows;
    for (const Desktop::Window& window : desktop_.visibleWindows(pid())) {
        windows.append(QStringLiteral("\"%1\" %2x%3+%4+%5")
                           .arg(window.name)
                           .arg(window.geometry.width())
                           .arg(window.geometry.height())
                           .arg(window.geometry.x())
                           .arg(window.geometry.y()));
    }
    return QStringLiteral("its mapped windows: ") +
           (windows.isEmpty() ? QStringLiteral("none") : windows.join(QStringLiteral(", ")));
}

Desktop::Window ProgramRun::waitForContainer(int timeoutMs) const
{
    return desktop_.waitForWindow(pid(), isContainer, timeoutMs);
}

Desktop::Window ProgramRun::waitForBox(int timeoutMs) const
{
    return desktop_.waitForWindow(pid(), isBox, timeoutMs);
}

bool ProgramRun::waitForNoBox(int timeoutMs) const
{
    return desktop_.waitForNoWindow(pid(), isBox, timeoutMs);
}

Desktop::Window ProgramRun::waitForBalloon(int timeoutMs) const
{
    return desktop_.waitForWindow(pid(), isBalloon, timeoutMs);
}

QByteArray ProgramRun::output()
{
    // What the pipe holds now, not only what the event loop has read from it so far.
    while (process_.waitForReadyRead(0)) {
    }
    output_ += process_.readAll();
    return output_;
}

QStringList ProgramRun::boxTexts()
{
    QStringList texts;
    static const QRegularExpression line(QStringLiteral("^box: .*? \\| (.*)$"), QRegularExpression::MultilineOption);
    auto matches = line.globalMatch(QString::fromUtf8(output()));
    while (matches.hasNext()) {
        texts.append(matches.next().captured(1));
    }
    return texts;
}

bool ProgramRun::waitForBoxCount(qsizetype count, int timeoutMs)
{
    return Desktop::waitUntil([&] { return boxTexts().size() >= count; }, timeoutMs);
}

bool ProgramRun::waitForBoxText(const QString& text, int timeoutMs)
{
    return Desktop::waitUntil([&] { return boxTexts().contains(text); }, timeoutMs);
}

QString ProgramRun::dataDir() const
{
    return home_ + QStringLiteral("/.Veltrane Auth");
}

QString ProgramRun::dataFile(const QString& name) const
{
    return dataDir() + QLatin1Char('/') + name;
}

bool ProgramRun::waitForDataFile(const QString& name, const QDateTime& since, int timeoutMs) const
{
    return Desktop::waitUntil(
        [&] {
            const QFileInfo info(dataFile(name));
            return info.exists() && (!since.isValid() || info.lastModified() > since);
        },
        timeoutMs);
}

QStringList ProgramRun::logMessages() const
{
    QFile log(dataFile(QStringLiteral("log.dat")));
    if (!log.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Each entry: "\n" date " <-> " time " <-> " message "\r\n".
    static const QRegularExpression entry(QStringLiteral("^\\d\\d/\\d\\d/\\d{4} <-> \\d\\d:\\d\\d:\\d\\d <-> (.*)\\r$"),
                                          QRegularExpression::MultilineOption);
    QStringList messages;
    auto matches = entry.globalMatch(QString::fromLatin1(log.readAll()));
    while (matches.hasNext()) {
        messages.append(matches.next().captured(1));
    }
    return messages;
}

bool ProgramRun::waitForLogMessage(const QString& message, int timeoutMs, qsizetype from) const
{
    return Desktop::waitUntil([&] { return logMessages().indexOf(message, from) >= 0; }, timeoutMs);
}
