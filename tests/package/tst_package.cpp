#include "support/DesktopDriver.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

// The Debian package built by CPack: what it holds, what it depends on, that its desktop entry and software-centre
// description validate, and that the installed program starts from its unpacked root and finds its probe library.
class TestPackage : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void holdsTheProgramOnly();
    void dependsOnItsLibraries();
    void metadataValidates_data();
    void metadataValidates();
    void lintianFindsNoError();
    void installedProgramStarts();

private:
    Desktop::CommandResult run(const QString& program, const QStringList& arguments, int timeoutMs = 120000) const
    {
        return Desktop::run(QProcessEnvironment::systemEnvironment(), program, arguments, timeoutMs);
    }

    QTemporaryDir work_;
    QString package_;
    QString root_;
};

void TestPackage::initTestCase()
{
    QVERIFY(work_.isValid());
    const Desktop::CommandResult made = run(QStringLiteral(VELTRANE_CPACK),
                                            {QStringLiteral("-G"), QStringLiteral("DEB"), QStringLiteral("--config"),
                                             QStringLiteral(VELTRANE_CPACK_CONFIG), QStringLiteral("-B"), work_.path()},
                                            240000);
    QVERIFY2(made.exitCode == 0, (made.output + made.error).constData());
    const QStringList packages = QDir(work_.path()).entryList({QStringLiteral("*.deb")}, QDir::Files);
    QCOMPARE(packages.size(), 1);
    QVERIFY2(packages.first().startsWith(QLatin1String("veltrane-auth_1.0.7_")), qPrintable(packages.first()));
    package_ = work_.filePath(packages.first());
    root_ = work_.filePath(QStringLiteral("root"));
    const Desktop::CommandResult unpacked = run(QStringLiteral("dpkg-deb"), {QStringLiteral("-x"), package_, root_});
    QVERIFY2(unpacked.exitCode == 0, unpacked.error.constData());
}

void TestPackage::holdsTheProgramOnly()
{
    QStringList files;
    QDirIterator it(root_, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        files.append(QDir(root_).relativeFilePath(it.next()));
    }
    files.sort();
    const QStringList expected{
        QStringLiteral("usr/bin/veltrane-auth"),
        QStringLiteral("usr/lib/x86_64-linux-gnu/veltrane-auth/libsmbprobe.so"),
        QStringLiteral("usr/share/applications/veltrane-auth.desktop"),
        QStringLiteral("usr/share/doc/veltrane-auth/changelog.gz"),
        QStringLiteral("usr/share/doc/veltrane-auth/copyright"),
        QStringLiteral("usr/share/icons/hicolor/128x128/apps/veltrane-auth.png"),
        QStringLiteral("usr/share/icons/hicolor/256x256/apps/veltrane-auth.png"),
        QStringLiteral("usr/share/icons/hicolor/48x48/apps/veltrane-auth.png"),
        QStringLiteral("usr/share/man/man1/veltrane-auth.1.gz"),
        QStringLiteral("usr/share/metainfo/com.veltrane.Auth.metainfo.xml"),
    };
    // The private library folder follows the build machine's architecture.
    QStringList normalised = files;
    for (QString& file : normalised) {
        file.replace(QRegularExpression(QStringLiteral("^usr/lib/[^/]+-linux-gnu[^/]*/")),
                     QStringLiteral("usr/lib/x86_64-linux-gnu/"));
    }
    QCOMPARE(normalised, expected);
    QVERIFY(QFileInfo(root_ + QStringLiteral("/usr/bin/veltrane-auth")).isExecutable());
}

void TestPackage::dependsOnItsLibraries()
{
    const Desktop::CommandResult depends =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), package_, QStringLiteral("Depends")});
    QCOMPARE(depends.exitCode, 0);
    const QString line = QString::fromUtf8(depends.output);
    // dpkg-shlibdeps found the Qt and OpenSSL libraries; the fonts are named by hand.
    for (const char* name : {"libqt6widgets6", "libqt6network6", "libqt6gui6", "libqt6core6", "libssl3", "libc6",
                             "fonts-dejavu-core", "fonts-liberation2"}) {
        QVERIFY2(line.contains(QLatin1String(name)), qPrintable(line));
    }
    // Qt's Wayland plugin, for a Wayland session without XWayland.
    const Desktop::CommandResult recommends =
        run(QStringLiteral("dpkg-deb"), {QStringLiteral("-f"), package_, QStringLiteral("Recommends")});
    QCOMPARE(recommends.exitCode, 0);
    QCOMPARE(recommends.output.trimmed(), QByteArray("qt6-wayland"));
}

void TestPackage::metadataValidates_data()
{
    QTest::addColumn<QString>("validator");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("desktop entry") << QStringLiteral("desktop-file-validate")
                                   << QStringList{QStringLiteral("usr/share/applications/veltrane-auth.desktop")};
    QTest::newRow("software-centre description")
        << QStringLiteral("appstreamcli")
        << QStringList{QStringLiteral("validate"), QStringLiteral("--no-net"),
                       QStringLiteral("usr/share/metainfo/com.veltrane.Auth.metainfo.xml")};
}

void TestPackage::metadataValidates()
{
    QFETCH(QString, validator);
    QFETCH(QStringList, arguments);
    for (QString& argument : arguments) {
        if (argument.startsWith(QLatin1String("usr/"))) {
            argument = root_ + QLatin1Char('/') + argument;
        }
    }
    const Desktop::CommandResult checked = run(validator, arguments);
    QVERIFY2(checked.exitCode == 0, (checked.output + checked.error).constData());
    // desktop-file-validate prints hints and errors but exits 0 on hints only: no error may be printed.
    QVERIFY2(!checked.output.contains("error"), checked.output.constData());
}

void TestPackage::lintianFindsNoError()
{
    if (QStandardPaths::findExecutable(QStringLiteral("lintian")).isEmpty()) {
        QSKIP("lintian is not installed");
    }
    const Desktop::CommandResult checked = run(QStringLiteral("lintian"), {package_}, 240000);
    // Lintian's exit code reports errors; warnings are printed and looked at by hand.
    QVERIFY2(checked.exitCode == 0, (checked.output + checked.error).constData());
}

void TestPackage::installedProgramStarts()
{
    Desktop::Session desktop;
    QVERIFY2(desktop.isValid(), qPrintable(desktop.error()));
    QTemporaryDir home;
    QProcessEnvironment env = desktop.environment();
    env.insert(QStringLiteral("HOME"), home.path());
    QProcess program;
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(root_ + QStringLiteral("/usr/bin/veltrane-auth"), {});
    QVERIFY(program.waitForStarted());

    const Desktop::Window container = desktop.waitForWindow(
        program.processId(), [](const Desktop::Window& window) { return window.geometry.size() == QSize(550, 200); },
        60000);
    QVERIFY2(container.isValid(), program.readAll().constData());
    QVERIFY(QFileInfo::exists(home.path() + QStringLiteral("/.Veltrane Auth/log.dat")));

    // Where the SMBIOS table cannot be read (no privileges, no firmware tables), the identity asks the probe
    // library, which the installed program must find in its private folder, not in the build tree.
    const bool tableReadable = QFile(QStringLiteral("/sys/firmware/dmi/tables/DMI")).open(QIODevice::ReadOnly);
    if (!tableReadable) {
        QFile maps(QStringLiteral("/proc/%1/maps").arg(program.processId()));
        QVERIFY(maps.open(QIODevice::ReadOnly));
        const QByteArray mapped = maps.readAll();
        QVERIFY2(mapped.contains(QDir(root_).canonicalPath().toUtf8() + "/usr/lib/"), mapped.constData());
        QVERIFY(mapped.contains("/veltrane-auth/libsmbprobe.so"));
        QVERIFY(!mapped.contains(QByteArray(VELTRANE_BINARY_DIR "/bin/libsmbprobe.so")));
    }
    program.kill();
    program.waitForFinished();
}

QTEST_GUILESS_MAIN(TestPackage)
#include "tst_package.moc"
