#include "support/DesktopDriver.h"
#include "support/ProcessReport.h"

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
    void carriesTheProjectVersion_data();
    void carriesTheProjectVersion();
    void metadataValidates_data();
    void metadataValidates();
    void lintianFindsNoError();
    void saysWhatBuildItIs();
    void binariesAreHardened_data();
    void binariesAreHardened();
    void hardeningFlagsReachTheCode();
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
    // A development build sorts before the release of its number and says what it is in its name.
    const QString name = QStringLiteral("veltrane-auth_") + QStringLiteral(VELTRANE_EXPECT_VERSION) +
                         QLatin1String(VELTRANE_EXPECT_DEVELOPMENT_BUILD ? "~dev_" : "_");
    QVERIFY2(packages.first().startsWith(name), qPrintable(packages.first()));
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
        QStringLiteral("usr/share/icons/hicolor/16x16/apps/veltrane-auth.png"),
        QStringLiteral("usr/share/icons/hicolor/24x24/apps/veltrane-auth.png"),
        QStringLiteral("usr/share/icons/hicolor/256x256/apps/veltrane-auth.png"),
        QStringLiteral("usr/share/icons/hicolor/32x32/apps/veltrane-auth.png"),
        QStringLiteral("usr/share/icons/hicolor/48x48/apps/veltrane-auth.png"),
        QStringLiteral("usr/share/icons/hicolor/64x64/apps/veltrane-auth.png"),
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

void TestPackage::carriesTheProjectVersion_data()
{
    // Each is made from the one version of the build; each says it in its own words.
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("expected");
    const QString version = QStringLiteral(VELTRANE_EXPECT_VERSION);
    QTest::newRow("the program") << QStringLiteral("usr/bin/veltrane-auth") << QStringList{QStringLiteral("--version")}
                                 << QStringLiteral("Veltrane Auth ") + version;
    QTest::newRow("the manual page") << QStringLiteral("zcat")
                                     << QStringList{QStringLiteral("usr/share/man/man1/veltrane-auth.1.gz")}
                                     << QStringLiteral("\"Veltrane Auth ") + version + QLatin1Char('"');
    // The changelog is the release history, written by hand: its newest entry must be this version.
    QTest::newRow("the changelog") << QStringLiteral("zcat")
                                   << QStringList{QStringLiteral("usr/share/doc/veltrane-auth/changelog.gz")}
                                   << QStringLiteral("veltrane-auth (") + version + QStringLiteral(") ");
    QTest::newRow("the software-centre description")
        << QStringLiteral("cat") << QStringList{QStringLiteral("usr/share/metainfo/com.veltrane.Auth.metainfo.xml")}
        << QStringLiteral("<release version=\"") + version + QLatin1Char('"');
}

void TestPackage::carriesTheProjectVersion()
{
    QFETCH(QString, program);
    QFETCH(QStringList, arguments);
    QFETCH(QString, expected);
    const auto inRoot = [this](const QString& path) {
        return path.startsWith(QLatin1String("usr/")) ? root_ + QLatin1Char('/') + path : path;
    };
    program = inRoot(program);
    for (QString& argument : arguments) {
        argument = inRoot(argument);
    }
    const Desktop::CommandResult shown = run(program, arguments);
    QVERIFY2(shown.exitCode == 0, (shown.output + shown.error).constData());
    QVERIFY2(QString::fromUtf8(shown.output).contains(expected), shown.output.constData());
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

void TestPackage::saysWhatBuildItIs()
{
    // A package that trusts its build tree's development authority must not pass for one made for users.
    const Desktop::CommandResult fields =
        run(QStringLiteral("dpkg-deb"),
            {QStringLiteral("-f"), package_, QStringLiteral("Version"), QStringLiteral("Description")});
    QCOMPARE(fields.exitCode, 0);
    const QString text = QString::fromUtf8(fields.output);
    const bool development = VELTRANE_EXPECT_DEVELOPMENT_BUILD;
    const QString version = QStringLiteral("Version: ") + QStringLiteral(VELTRANE_EXPECT_VERSION);
    QVERIFY2(text.contains(version + QStringLiteral("~dev\n")) == development, qPrintable(text));
    QVERIFY2(text.contains(version + QStringLiteral("\n")) == !development, qPrintable(text));
    QVERIFY2(text.contains(QLatin1String("(development build, server 127.0.0.1)")) == development, qPrintable(text));
}

void TestPackage::binariesAreHardened_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("position");
    QTest::newRow("program") << QStringLiteral("usr/bin/veltrane-auth")
                             << QByteArray("Position Independent Executable: yes");
    // A shared library is position independent by nature; the checker says so and leaves it aside.
    QTest::newRow("probe library") << QStringLiteral("usr/lib/*/veltrane-auth/libsmbprobe.so")
                                   << QByteArray(
                                          "Position Independent Executable: no, regular shared library (ignored)");
}

void TestPackage::binariesAreHardened()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, position);
    if (!VELTRANE_EXPECT_HARDENED) {
        QSKIP("only Release builds are hardened (this is a debug, sanitizer or fuzzing build)");
    }
    QStringList found;
    QDirIterator it(root_, QDir::Files, QDirIterator::Subdirectories);
    const QRegularExpression pattern(QRegularExpression::wildcardToRegularExpression(file));
    while (it.hasNext()) {
        const QString path = it.next();
        if (pattern.match(QDir(root_).relativeFilePath(path)).hasMatch()) {
            found.append(path);
        }
    }
    QCOMPARE(found.size(), 1);
    const QString binary = found.first();

    // Debian's own checker reads the stripped binary's program headers, dynamic section and symbols: position
    // independence, the stack protector's canary check, read-only relocations and immediate binding.
    const Desktop::CommandResult checked = run(QStringLiteral("hardening-check"), {QStringLiteral("-v"), binary});
    for (const QByteArray& line : {position, QByteArray("Stack protected: yes"),
                                   QByteArray("Read-only relocations: yes"), QByteArray("Immediate binding: yes")}) {
        QVERIFY2(checked.output.contains(line), (checked.output + checked.error).constData());
    }
    // Fortified calls appear only where a buffer's size is known where it is used: the checker may find none in
    // this code ("only unprotected functions"), but never an unfortified call next to fortified ones.
    QVERIFY2(checked.output.contains("Fortify Source functions: yes") ||
                 checked.output.contains("Fortify Source functions: no, only unprotected functions found!"),
             checked.output.constData());
#if defined(__x86_64__)
    // Control-flow protection puts an end-branch marker at every indirect branch target. (The GNU property note
    // that says so is dropped at link time here: this system's C start-up files carry none.)
    const Desktop::CommandResult code = run(QStringLiteral("objdump"), {QStringLiteral("-d"), binary});
    QCOMPARE(code.exitCode, 0);
    QVERIFY2(code.output.contains("endbr64"), qPrintable(binary));
#endif
}

void TestPackage::hardeningFlagsReachTheCode()
{
    // A program built with the options of the shipped binaries, holding the patterns those flags change: a read into
    // a buffer of known size and a frame larger than a page.
    if (!VELTRANE_EXPECT_HARDENED) {
        QSKIP("only Release builds are hardened (this is a debug, sanitizer or fuzzing build)");
    }
    const Desktop::CommandResult checked =
        run(QStringLiteral("hardening-check"), {QStringLiteral("-v"), QStringLiteral(VELTRANE_HARDENING_PROBE)});
    for (const char* line : {"Position Independent Executable: yes", "Stack protected: yes",
                             "Fortify Source functions: yes", "Read-only relocations: yes", "Immediate binding: yes"}) {
        QVERIFY2(checked.output.contains(line), (checked.output + checked.error).constData());
    }
    const Desktop::CommandResult symbols =
        run(QStringLiteral("readelf"),
            {QStringLiteral("-W"), QStringLiteral("--dyn-syms"), QStringLiteral(VELTRANE_HARDENING_PROBE)});
    QVERIFY2(symbols.output.contains("__read_chk") && symbols.output.contains("__stack_chk_fail"),
             symbols.output.constData());
#if defined(__x86_64__)
    // The large frame is grown a page at a time, each page touched before the next (the checker's own pattern for
    // this predates the loop that this compiler writes), and indirect branch targets carry end-branch markers.
    const Desktop::CommandResult code =
        run(QStringLiteral("objdump"), {QStringLiteral("-d"), QStringLiteral(VELTRANE_HARDENING_PROBE)});
    const QString disassembly = QString::fromUtf8(code.output);
    const QRegularExpression probedPage(QStringLiteral("sub\\s+\\$0x1000,%rsp\\n[^\\n]*orq?\\s+\\$0x0,\\(%rsp\\)"));
    QVERIFY2(disassembly.contains(probedPage), qPrintable(disassembly.left(4000)));
    QVERIFY(disassembly.contains(QLatin1String("endbr64")));
#endif
}

void TestPackage::installedProgramStarts()
{
    Desktop::Session desktop;
    QVERIFY2(desktop.isValid(), qPrintable(desktop.error()));
    QTemporaryDir home;
    QProcessEnvironment env = desktop.environment();
    env.insert(QStringLiteral("HOME"), home.path());
    ProgramProcess program;
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
