#include "core/SharedText.h"
#include "app/Startup.h"
#include "support/ProcessReport.h"
#include "support/TestHome.h"

#include <QDir>
#include <QProcess>
#include <QTest>

#include <vector>

// The command line of the real program: --help and --version answer and end before any display, window, file or
// lock exists; every other argument is left for the toolkit.
class TestCommandLine : public QObject {
    Q_OBJECT

private slots:
    void answersWithoutDisplay_data();
    void answersWithoutDisplay();
    void otherArgumentsAreLeftAlone_data();
    void otherArgumentsAreLeftAlone();
};

void TestCommandLine::answersWithoutDisplay_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<QStringList>("expected");
    const SharedText& text = SharedText::get();
    const QString first = text.appName + QLatin1Char(' ') + text.appVersion;
    const QString server = QStringLiteral("Server: ") + text.serverBaseUrl + QStringLiteral(" (a setting of the build");
    QTest::newRow("--version") << "--version" << QStringList{first, server};
    QTest::newRow("--help") << "--help"
                            << QStringList{
                                   first,
                                   server,
                                   QStringLiteral("Usage: veltrane-auth [--help | --version]"),
                                   QStringLiteral("Ctrl+C or a click on the code copies it"),
                                   QStringLiteral("login.dat"),
                                   QStringLiteral("res.dat"),
                                   QStringLiteral("Proxy.dat"),
                                   QStringLiteral("log.dat"),
                                   QStringLiteral("~/.config/autostart/veltrane-auth.desktop"),
                                   QStringLiteral("       veltrane-auth --code [NAME] [--min-validity SECONDS]\n"
                                                  "       veltrane-auth --list\n"),
                                   QStringLiteral("  --list                  print the stored resources"),
                                   QStringLiteral("Exit status: 0 printed; 1 the device identity could not be "
                                                  "collected; 2 no stored session"),
                                   QStringLiteral("64 bad arguments"),
                                   QStringLiteral("Example: code=$(veltrane-auth --code")};
    QTest::newRow("-h") << "-h" << QStringList{first, QStringLiteral("Usage: veltrane-auth")};
}

void TestCommandLine::answersWithoutDisplay()
{
    QFETCH(QString, option);
    QFETCH(QStringList, expected);
    TestHome home;
    QDir(home.dataDir()).removeRecursively();

    // No display of any kind: a program that made its application object would abort.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_SESSION_TYPE"}) {
        env.remove(QLatin1String(name));
    }
    env.insert(QStringLiteral("HOME"), home.path());
    ProgramProcess program;
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(VELTRANE_PROGRAM_EXE), {option});
    QVERIFY(program.waitForFinished(30000));
    QCOMPARE(program.exitStatus(), QProcess::NormalExit);
    QCOMPARE(program.exitCode(), 0);
    const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
    for (const QString& part : expected) {
        QVERIFY2(out.contains(part), qPrintable(part + QStringLiteral(" missing in:\n") + out));
    }
    QVERIFY2(out.startsWith(expected.first()), qPrintable(out));
    QCOMPARE(program.readAllStandardError(), QByteArray());
    // Nothing was made: no data directory, so no log entry and no lock beside it.
    QVERIFY(!QDir(home.dataDir()).exists());
}

void TestCommandLine::otherArgumentsAreLeftAlone_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("none") << QStringList{};
    QTest::newRow("toolkit options") << QStringList{QStringLiteral("-platform"), QStringLiteral("offscreen")};
    QTest::newRow("look-alikes") << QStringList{QStringLiteral("--helpme"), QStringLiteral("-version"),
                                                QStringLiteral("help")};
}

void TestCommandLine::otherArgumentsAreLeftAlone()
{
    QFETCH(QStringList, arguments);
    arguments.prepend(QStringLiteral("veltrane-auth"));
    std::vector<QByteArray> bytes;
    for (const QString& argument : arguments) {
        bytes.push_back(argument.toLocal8Bit());
    }
    std::vector<char*> argv;
    for (QByteArray& argument : bytes) {
        argv.push_back(argument.data());
    }
    QCOMPARE(commandLineAnswer(int(argv.size()), argv.data()), QString());
}

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
