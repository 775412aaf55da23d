#include "support/DesktopDriver.h"

#include "support/ChildProcess.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QThread>

namespace Desktop {

CommandResult run(const QProcessEnvironment& env, const QString& program, const QStringList& arguments, int timeoutMs)
{
    CommandResult result;
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    if (!process.waitForStarted(timeoutMs)) {
        result.error = process.errorString().toLocal8Bit();
        return result;
    }
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        result.error = "timed out";
        return result;
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.output = process.readAllStandardOutput();
    result.error = process.readAllStandardError();
    return result;
}

bool waitUntil(const std::function<bool()>& condition, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (condition()) {
            return true;
        }
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(10);
    }
}

Companion::Companion(const QProcessEnvironment& env, const QString& program, const QStringList& arguments)
{
    process_.setProcessEnvironment(env);
    process_.setProcessChannelMode(QProcess::ForwardedChannels);
    process_.start(program, arguments);
    if (!process_.waitForStarted(15000)) {
        error_ = program + QStringLiteral(" could not be started: ") + process_.errorString();
    }
}

Companion::~Companion()
{
    stop();
}

void Companion::stop()
{
    ChildProcess::stop(process_);
}

Session::Session(bool withTrayHost) : x_(withTrayHost ? XSession::WithTrayHost : XSession::WithoutTrayHost) {}

QList<Window> Session::visibleWindows(qint64 pid, const QString& nameRegex) const
{
    // --all: every condition must hold (xdotool's default is any of them).
    QStringList arguments{QStringLiteral("search"), QStringLiteral("--all"), QStringLiteral("--onlyvisible"),
                          QStringLiteral("--pid"), QString::number(pid)};
    if (!nameRegex.isEmpty()) {
        arguments << QStringLiteral("--name") << nameRegex;
    }
    const CommandResult found = run(environment(), QStringLiteral("xdotool"), arguments);
    QList<Window> windows;
    const QList<QByteArray> ids = found.output.split('\n');
    for (const QByteArray& id : ids) {
        if (id.trimmed().isEmpty()) {
            continue;
        }
        Window window;
        window.id = QString::fromLatin1(id.trimmed());
        const CommandResult name =
            run(environment(), QStringLiteral("xdotool"), {QStringLiteral("getwindowname"), window.id});
        // "WINDOW=..\nX=..\nY=..\nWIDTH=..\nHEIGHT=..\nSCREEN=.."
        const CommandResult geometry = run(environment(), QStringLiteral("xdotool"),
                                           {QStringLiteral("getwindowgeometry"), QStringLiteral("--shell"), window.id});
        // A window found a moment ago can be gone by now (a box that closes): it is no longer among the visible ones.
        if (name.exitCode != 0 || geometry.exitCode != 0) {
            continue;
        }
        QByteArray title = name.output;
        if (title.endsWith('\n')) {
            title.chop(1);
        }
        window.name = QString::fromUtf8(title);
        const QString shell = QString::fromLatin1(geometry.output);
        static const QRegularExpression field(QStringLiteral("^(X|Y|WIDTH|HEIGHT)=(-?\\d+)$"),
                                              QRegularExpression::MultilineOption);
        int values[4] = {0, 0, 0, 0};
        auto matches = field.globalMatch(shell);
        while (matches.hasNext()) {
            const auto match = matches.next();
            const QString key = match.captured(1);
            const int index = key == QLatin1String("X")       ? 0
                              : key == QLatin1String("Y")     ? 1
                              : key == QLatin1String("WIDTH") ? 2
                                                              : 3;
            values[index] = match.captured(2).toInt();
        }
        window.geometry = QRect(values[0], values[1], values[2], values[3]);
        windows.append(window);
    }
    return windows;
}

Window Session::waitForWindow(qint64 pid, const std::function<bool(const Window&)>& accept, int timeoutMs) const
{
    Window accepted;
    waitUntil(
        [&] {
            const QList<Window> windows = visibleWindows(pid);
            for (const Window& window : windows) {
                if (accept(window)) {
                    accepted = window;
                    return true;
                }
            }
            return false;
        },
        timeoutMs);
    return accepted;
}

bool Session::waitForNoWindow(qint64 pid, const std::function<bool(const Window&)>& accept, int timeoutMs) const
{
    return waitUntil(
        [&] {
            const QList<Window> windows = visibleWindows(pid);
            return std::none_of(windows.begin(), windows.end(), accept);
        },
        timeoutMs);
}

bool Session::focus(const Window& window) const
{
    return run(environment(), QStringLiteral("xdotool"),
               {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window.id})
               .exitCode == 0;
}

bool Session::type(const QString& text) const
{
    return run(environment(), QStringLiteral("xdotool"),
               {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("5"), QStringLiteral("--"), text})
               .exitCode == 0;
}

bool Session::key(const QString& keys) const
{
    return run(environment(), QStringLiteral("xdotool"), {QStringLiteral("key"), QStringLiteral("--"), keys})
               .exitCode == 0;
}

bool Session::click(const Window& window, const QPoint& point) const
{
    return run(environment(), QStringLiteral("xdotool"),
               // No --sync: xdotool would wait for a movement that never comes when the pointer is already there.
               {QStringLiteral("mousemove"), QStringLiteral("--window"), window.id, QString::number(point.x()),
                QString::number(point.y()), QStringLiteral("click"), QStringLiteral("1")})
               .exitCode == 0;
}

QString Session::clipboard() const
{
    const CommandResult result =
        run(environment(), QStringLiteral("xclip"),
            {QStringLiteral("-o"), QStringLiteral("-selection"), QStringLiteral("clipboard")}, 5000);
    return result.exitCode == 0 ? QString::fromUtf8(result.output) : QString();
}

bool Session::screenshot(const QString& path) const
{
    return run(environment(), QStringLiteral("import"), {QStringLiteral("-window"), QStringLiteral("root"), path})
               .exitCode == 0;
}

} // namespace Desktop
