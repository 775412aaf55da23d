#include "support/DesktopDriver.h"
#include "support/ProcessReport.h"
#include "ui/common/ProgramIcon.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

// The program as a real process on an X server: its window hands the window manager and the taskbar the icon in
// every drawn size (_NET_WM_ICON, read back from the server by xprop), so that each picks a picture made for its
// size instead of scaling the only one.
class TestWindowIcon : public QObject {
    Q_OBJECT

private slots:
    void everySizeOnTheWindow();
};

void TestWindowIcon::everySizeOnTheWindow()
{
    Desktop::Session session;
    if (!session.isValid()) {
        QSKIP(qPrintable(session.error()));
    }
    const QProcessEnvironment env = session.environment();
    ProgramProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(QStringLiteral(VELTRANE_PROGRAM), {});
    QVERIFY(program.waitForStarted());
    const Desktop::Window window = session.waitForWindow(
        program.processId(), [](const Desktop::Window& w) { return w.geometry.size() == QSize(550, 200); }, 30000);
    QVERIFY(window.isValid());

    // xprop shows only the first few kilobytes of a property unless told otherwise; all seven pictures take 352 KiB.
    QList<int> offered;
    const bool found = Desktop::waitUntil(
        [&] {
            const Desktop::CommandResult icon =
                Desktop::run(env, QStringLiteral("xprop"),
                             {QStringLiteral("-len"), QStringLiteral("1000000"), QStringLiteral("-id"), window.id,
                              QStringLiteral("_NET_WM_ICON")});
            offered.clear();
            static const QRegularExpression size(QStringLiteral("Icon \\((\\d+) x (\\d+)\\)"));
            for (auto it = size.globalMatch(QString::fromLatin1(icon.output)); it.hasNext();) {
                const QRegularExpressionMatch match = it.next();
                if (match.captured(1) == match.captured(2)) {
                    offered.append(match.captured(1).toInt());
                }
            }
            return !offered.isEmpty();
        },
        10000);
    QVERIFY(found);
    program.kill();
    program.waitForFinished();
    std::sort(offered.begin(), offered.end());
    QCOMPARE(offered, ProgramIcon::sizes());
}

QTEST_GUILESS_MAIN(TestWindowIcon)
#include "tst_windowicon.moc"
