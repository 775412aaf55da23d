// The settings window on the offscreen platform: validation, what Save stores and writes to Proxy.dat, Cancel,
// the return to the calling screen, a failed write, the proxy reaching the transport (through a real tinyproxy),
// the session's autostart entry (checked with desktop-file-validate and started by GLib's launcher), and the
// look of both pages in the container (known pixels of the pictures, tabs and buttons).
#include "core/SharedText.h"
#include "core/platform/Platform.h"
#include "protocol/HttpsTransport.h"
#include "storage/SettingsFile.h"
#include "support/DevServer.h"
#include "support/PixelProbe.h"
#include "support/ScreenFixture.h"
#include "ui/login/MainWindow.h"
#include "ui/settings/ProxySettings.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/token/Tokendetails.h"

#include "../protocol/TinyProxy.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <sys/stat.h>

namespace {
struct Form {
    explicit Form(ProxySettings* window)
        : enabled(window->findChild<QCheckBox*>(QStringLiteral("chkBProxyEnabled"))),
          host(window->findChild<QLineEdit*>(QStringLiteral("lEProxyHost"))),
          port(window->findChild<QLineEdit*>(QStringLiteral("lEProxyPort"))),
          user(window->findChild<QLineEdit*>(QStringLiteral("lEProxyUsername"))),
          password(window->findChild<QLineEdit*>(QStringLiteral("lEProxyPassword"))),
          alwaysTop(window->findChild<QCheckBox*>(QStringLiteral("chkAlways"))),
          hideTag(window->findChild<QCheckBox*>(QStringLiteral("chkActiveTag"))),
          startWithSession(window->findChild<QCheckBox*>(QStringLiteral("chkStartWithSession"))),
          tabs(window->findChild<QTabWidget*>(QStringLiteral("tabWidget"))),
          panel(window->findChild<QWidget*>(QStringLiteral("widgetPD"))),
          save(window->findChild<QPushButton*>(QStringLiteral("pBProxySave"))),
          cancel(window->findChild<QPushButton*>(QStringLiteral("pBProxyCancel")))
    {}
    bool complete() const
    {
        return enabled && host && port && user && password && alwaysTop && hideTag && startWithSession && tabs &&
               panel && save && cancel;
    }
    void fill(const QString& h, const QString& p, const QString& u, const QString& pw) const
    {
        if (!enabled->isChecked()) {
            QTest::mouseClick(enabled, Qt::LeftButton, {}, QPoint(5, enabled->height() / 2));
        }
        host->setText(h);
        port->setText(p);
        user->setText(u);
        password->setText(pw);
    }

    QCheckBox* enabled;
    QLineEdit* host;
    QLineEdit* port;
    QLineEdit* user;
    QLineEdit* password;
    QCheckBox* alwaysTop;
    QCheckBox* hideTag;
    QCheckBox* startWithSession;
    QTabWidget* tabs;
    QWidget* panel;
    QPushButton* save;
    QPushButton* cancel;
};

QStringList logLines(const TestHome& home)
{
    QFile log(home.dataFile(QStringLiteral("log.dat")));
    return log.open(QIODevice::ReadOnly) ? QString::fromLatin1(log.readAll()).split(QStringLiteral("\r\n"))
                                         : QStringList();
}

bool logged(const TestHome& home, const QString& text)
{
    for (const QString& line : logLines(home)) {
        if (line.endsWith(QStringLiteral(" <-> ") + text)) {
            return true;
        }
    }
    return false;
}

int fileMode(const QString& path)
{
    struct stat info {};
    return stat(QFile::encodeName(path).constData(), &info) == 0 ? static_cast<int>(info.st_mode & 07777) : -1;
}

// desktop-file-validate's verdict: empty when the entry is valid and draws no warning.
QString validationErrors(const QString& entry)
{
    QProcess validate;
    validate.start(QStringLiteral("desktop-file-validate"), {entry});
    if (!validate.waitForFinished(15000)) {
        return QStringLiteral("desktop-file-validate did not run: ") + validate.errorString();
    }
    const QString output = QString::fromLocal8Bit(validate.readAllStandardOutput() + validate.readAllStandardError());
    return validate.exitCode() == 0 ? output.trimmed() : QStringLiteral("invalid: ") + output;
}

QStringList entryLines(const QString& entry)
{
    QFile file(entry);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).split(QLatin1Char('\n')) : QStringList();
}
} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void validation_data();
    void validation();
    void saveWritesTheFileAndReturns_data();
    void saveWritesTheFileAndReturns();
    void uncheckingClearsTheStoredProxy();
    void cancelAsksForTheCaller_data();
    void cancelAsksForTheCaller();
    void cancelStoresNothing();
    void failedWriteIsShown();
    void alwaysTopAppliesAtOnceAndAtNextStart();
    void proxyReachesTheTransport();
    void startWithSessionShowsTheEntry_data();
    void startWithSessionShowsTheEntry();
    void startWithSessionWritesAndRemovesTheEntry_data();
    void startWithSessionWritesAndRemovesTheEntry();
    void startWithSessionEntryStartsTheProgram();
    void startWithSessionFailureIsShown();
    void screenshot();
};

void TestSettings::validation_data()
{
    QTest::addColumn<QString>("host");
    QTest::addColumn<QString>("port");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("message"); // empty: saved

    const SharedText& text = SharedText::get();
    QTest::newRow("host blank") << "   "
                                << "8080"
                                << ""
                                << "" << text.msgProxyHostInvalid;
    QTest::newRow("host empty") << ""
                                << "8080"
                                << ""
                                << "" << text.msgProxyHostInvalid;
    QTest::newRow("port empty") << "proxy"
                                << ""
                                << ""
                                << "" << text.msgProxyPortInvalid;
    QTest::newRow("port blank") << "proxy"
                                << "  "
                                << ""
                                << "" << text.msgProxyPortInvalid;
    QTest::newRow("port 0") << "proxy"
                            << "0"
                            << ""
                            << "" << text.msgProxyPortInvalid;
    QTest::newRow("port letters") << "proxy"
                                  << "abc"
                                  << ""
                                  << "" << text.msgProxyPortInvalid;
    QTest::newRow("port -1") << "proxy"
                             << "-1"
                             << ""
                             << "" << text.msgProxyPortInvalid;
    QTest::newRow("port 65536") << "proxy"
                                << "65536"
                                << ""
                                << "" << text.msgProxyPortInvalid;
    QTest::newRow("port 99999999999") << "proxy"
                                      << "99999999999"
                                      << ""
                                      << "" << text.msgProxyPortInvalid;
    QTest::newRow("port 65535") << "proxy"
                                << "65535"
                                << ""
                                << "" << QString();
    QTest::newRow("port 1") << "proxy"
                            << "1"
                            << ""
                            << "" << QString();
    QTest::newRow("password without user") << "proxy"
                                           << "3128"
                                           << ""
                                           << "secret" << text.msgProxyUserInvalid;
    QTest::newRow("password with blank user") << "proxy"
                                              << "3128"
                                              << "  "
                                              << "secret" << text.msgProxyUserInvalid;
    QTest::newRow("user without password") << "proxy"
                                           << "3128"
                                           << "alice"
                                           << "" << QString();
    QTest::newRow("neither user nor password") << "proxy"
                                               << "3128"
                                               << ""
                                               << "" << QString();
    QTest::newRow("host checked before port") << " "
                                              << "abc"
                                              << ""
                                              << "x" << text.msgProxyHostInvalid;
    QTest::newRow("port checked before user") << "proxy"
                                              << "0"
                                              << ""
                                              << "x" << text.msgProxyPortInvalid;
}

void TestSettings::validation()
{
    QFETCH(QString, host);
    QFETCH(QString, port);
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, message);

    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = QStringLiteral("Login");
    ProxySettings* window = fixture.screens.settingsWindow;
    window->show();
    const Form form(window);
    QVERIFY(form.complete());
    form.fill(host, port, user, password);
    form.tabs->setCurrentIndex(1);
    int pageBehindBox = -1;
    fixture.boxes.whileOpen = [&](const MessageBox::Request&) { pageBehindBox = form.tabs->currentIndex(); };
    QTest::mouseClick(form.save, Qt::LeftButton);

    const QString file = fixture.home.dataFile(QStringLiteral("Proxy.dat"));
    if (message.isEmpty()) {
        QVERIFY2(fixture.boxes.boxes.isEmpty(), qPrintable(fixture.boxes.texts().join(QLatin1Char('\n'))));
        QVERIFY(QFile::exists(file));
        QCOMPARE(fixture.controller->proxyMode, 1);
        QVERIFY(!window->isVisible());
        return;
    }
    QCOMPARE(fixture.boxes.texts(), QStringList{message});
    const MessageBox::Request& box = fixture.boxes.boxes.first();
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.parent, static_cast<QWidget*>(fixture.screens.loginWindow));
    // The proxy page is shown with the user's input; the user-name box comes after the page switch.
    QCOMPARE(form.tabs->currentIndex(), 0);
    QCOMPARE(pageBehindBox, message == SharedText::get().msgProxyUserInvalid ? 0 : 1);
    QCOMPARE(form.host->text(), host);
    QCOMPARE(form.port->text(), port);
    QVERIFY(window->isVisible());
    QVERIFY(!QFile::exists(file));
    QCOMPARE(fixture.controller->proxyMode, 0);
}

void TestSettings::saveWritesTheFileAndReturns_data()
{
    QTest::addColumn<QString>("caller");
    QTest::newRow("opened from the login window") << "Login";
    QTest::newRow("opened from the token screen") << "Token";
}

void TestSettings::saveWritesTheFileAndReturns()
{
    QFETCH(QString, caller);
    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = caller;
    ProxySettings* window = fixture.screens.settingsWindow;
    fixture.screens.loginWindow->hide();
    fixture.screens.tokenScreen->hide();
    window->show();
    const Form form(window);
    QVERIFY(form.complete());
    QVERIFY(form.panel->isHidden());
    // Host and user are stored as they are checked: trimmed; the password as typed.
    form.fill(QStringLiteral("  proxy.example.net "), QStringLiteral(" 3128"), QStringLiteral(" alice "),
              QStringLiteral("s3cret pass"));
    QVERIFY(!form.panel->isHidden());
    form.alwaysTop->setChecked(true);
    QTest::mouseClick(form.save, Qt::LeftButton);
    QVERIFY(fixture.boxes.boxes.isEmpty());

    const SettingsValues expected{
        1,    QStringLiteral("proxy.example.net"), 3128, QStringLiteral("alice"), QStringLiteral("s3cret pass"), true,
        false};
    QFile file(fixture.home.dataFile(QStringLiteral("Proxy.dat")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().toHex(), SettingsFile::encode(expected).toHex());
    QCOMPARE(fixture.controller->proxyHost, expected.proxyHost);
    QCOMPARE(fixture.controller->proxyPort, 3128);
    QCOMPARE(fixture.controller->proxyUser, expected.proxyUser);
    QVERIFY(fixture.controller->alwaysOnTop);
    QVERIFY(!fixture.controller->hideInfoTag);

    QVERIFY(!window->isVisible());
    QCOMPARE(fixture.screens.loginWindow->isVisible(), caller == QLatin1String("Login"));
    QCOMPARE(fixture.screens.tokenScreen->isVisible(), caller == QLatin1String("Token"));
    const QStringList lines = logLines(fixture.home);
    QVERIFY(logged(fixture.home, QStringLiteral("Write Proxy")));
    QVERIFY(logged(fixture.home, QStringLiteral("Set Proxy and the file Persist")));
    QVERIFY(logged(fixture.home, QStringLiteral("perisit complete")));

    // A window built at the next start shows the saved values.
    ProxySettings next;
    const Form shown(&next);
    QVERIFY(shown.enabled->isChecked());
    QVERIFY(!shown.panel->isHidden());
    QCOMPARE(shown.host->text(), expected.proxyHost);
    QCOMPARE(shown.port->text(), QStringLiteral("3128"));
    QCOMPARE(shown.user->text(), expected.proxyUser);
    QCOMPARE(shown.password->text(), expected.proxyPassword);
    QVERIFY(shown.alwaysTop->isChecked());
    QVERIFY(!shown.hideTag->isChecked());
}

void TestSettings::uncheckingClearsTheStoredProxy()
{
    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = QStringLiteral("Login");
    ProxySettings* window = fixture.screens.settingsWindow;
    window->show();
    const Form form(window);
    form.fill(QStringLiteral("proxy"), QStringLiteral("8080"), QStringLiteral("bob"), QStringLiteral("pw"));
    QTest::mouseClick(form.save, Qt::LeftButton);
    QCOMPARE(fixture.controller->proxyMode, 1);

    window->show();
    QTest::mouseClick(form.enabled, Qt::LeftButton, {}, QPoint(5, form.enabled->height() / 2));
    QVERIFY(!form.enabled->isChecked());
    QVERIFY(form.panel->isHidden());
    form.hideTag->setChecked(true);
    QTest::mouseClick(form.save, Qt::LeftButton);
    QVERIFY(fixture.boxes.boxes.isEmpty());
    QVERIFY(SettingsFile::read(fixture.home.dataFile(QStringLiteral("Proxy.dat"))) ==
            (SettingsValues{0, QString(), 0, QString(), QString(), false, true}));
    QCOMPARE(fixture.controller->proxyMode, 0);
    QVERIFY(fixture.controller->proxyHost.isEmpty());
    // The hidden panel still shows the old texts.
    QCOMPARE(form.host->text(), QStringLiteral("proxy"));
    QCOMPARE(form.user->text(), QStringLiteral("bob"));
}

void TestSettings::cancelAsksForTheCaller_data()
{
    QTest::addColumn<QString>("caller");
    QTest::addColumn<bool>("returns");
    QTest::newRow("opened from the login window") << "Login" << true;
    QTest::newRow("opened from the token screen") << "Token" << true;
    // Nothing to return to: the window stays.
    QTest::newRow("opened by no screen") << "" << false;
}

void TestSettings::cancelAsksForTheCaller()
{
    QFETCH(QString, caller);
    QFETCH(bool, returns);
    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = caller;
    fixture.screens.loginWindow->hide();
    // A window of its own, which no screen set connected: it asks for its caller and shows no screen itself.
    ProxySettings window;
    window.show();
    QSignalSpy asked(&window, &ProxySettings::returnRequested);
    QTest::mouseClick(Form(&window).cancel, Qt::LeftButton);
    QCOMPARE(window.isVisible(), !returns);
    QCOMPARE(asked.size(), returns ? 1 : 0);
    if (returns) {
        QCOMPARE(asked.at(0).at(0).toString(), caller);
    }
    QVERIFY(!fixture.screens.loginWindow->isVisible());
    QVERIFY(!fixture.screens.tokenScreen->isVisible());
}

void TestSettings::cancelStoresNothing()
{
    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = QStringLiteral("Token");
    ProxySettings* window = fixture.screens.settingsWindow;
    fixture.screens.loginWindow->hide();
    window->show();
    const Form form(window);
    form.fill(QStringLiteral("proxy"), QStringLiteral("abc"), QString(), QString());
    form.alwaysTop->setChecked(true);
    QTest::mouseClick(form.cancel, Qt::LeftButton);
    QVERIFY(fixture.boxes.boxes.isEmpty());
    QVERIFY(!window->isVisible());
    QVERIFY(fixture.screens.tokenScreen->isVisible());
    QVERIFY(!QFile::exists(fixture.home.dataFile(QStringLiteral("Proxy.dat"))));
    QCOMPARE(fixture.controller->proxyMode, 0);
    QVERIFY(!fixture.controller->alwaysOnTop);
    // Reopened, the form still shows what was typed.
    window->show();
    QCOMPARE(form.port->text(), QStringLiteral("abc"));
    QVERIFY(form.alwaysTop->isChecked());
}

void TestSettings::failedWriteIsShown()
{
    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = QStringLiteral("Login");
    ProxySettings* window = fixture.screens.settingsWindow;
    window->show();
    // A data directory that is a file: Proxy.dat cannot be made in it.
    QVERIFY(QDir(fixture.home.dataDir()).removeRecursively());
    QFile blocker(fixture.home.dataDir());
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const Form form(window);
    form.fill(QStringLiteral("proxy"), QStringLiteral("8080"), QString(), QString());
    QTest::mouseClick(form.save, Qt::LeftButton);
    QCOMPARE(fixture.boxes.boxes.size(), 1);
    const MessageBox::Request& box = fixture.boxes.boxes.first();
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.parent, static_cast<QWidget*>(window));
    QVERIFY(box.text.startsWith(QStringLiteral("Veltrane Auth could not save your settings.")));
    // The values hold for this run.
    QCOMPARE(fixture.controller->proxyMode, 1);
    QVERIFY(!logged(fixture.home, QStringLiteral("perisit complete")));
}

void TestSettings::alwaysTopAppliesAtOnceAndAtNextStart()
{
    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = QStringLiteral("Login");
    BaseScreen* container = fixture.controller->container();
    QVERIFY(!(container->windowFlags() & Qt::WindowStaysOnTopHint));
    container->move(123, 77);
    ProxySettings* window = fixture.screens.settingsWindow;
    window->show();
    const Form form(window);
    form.alwaysTop->setChecked(true);
    QTest::mouseClick(form.save, Qt::LeftButton);
    QVERIFY(container->windowFlags() & Qt::WindowStaysOnTopHint);
    QVERIFY(container->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(container->isVisible());
    QCOMPARE(container->pos(), QPoint(123, 77));
    {
        // The next start's container reads the preference from Proxy.dat.
        BaseScreen next(QPixmap(QStringLiteral(":/BG_Trans.png")));
        QVERIFY(next.alwaysOnTop());
        QVERIFY(next.windowFlags() & Qt::WindowStaysOnTopHint);
    }

    window->show();
    form.alwaysTop->setChecked(false);
    QTest::mouseClick(form.save, Qt::LeftButton);
    QVERIFY(!(container->windowFlags() & Qt::WindowStaysOnTopHint));
    QVERIFY(container->isVisible());
    QCOMPARE(container->pos(), QPoint(123, 77));
    BaseScreen next(QPixmap(QStringLiteral(":/BG_Trans.png")));
    QVERIFY(!next.alwaysOnTop());
    QVERIFY(!(next.windowFlags() & Qt::WindowStaysOnTopHint));
}

void TestSettings::proxyReachesTheTransport()
{
    for (const char* name :
         {"https_proxy", "HTTPS_PROXY", "http_proxy", "HTTP_PROXY", "all_proxy", "ALL_PROXY", "no_proxy", "NO_PROXY"}) {
        qunsetenv(name);
    }
    DevServer server;
    QVERIFY2(server.start(QJsonObject{{QStringLiteral("users"), QJsonArray{}}}), qPrintable(server.errorOutput()));
    TinyProxy proxy;
    QVERIFY(proxy.start());
    const QString url = server.servletUrl(SharedText::get().urlStatServlet);
    const QString tunnel = QStringLiteral("CONNECT 127.0.0.1:%1").arg(server.port());

    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = QStringLiteral("Login");
    ProxySettings* window = fixture.screens.settingsWindow;
    window->show();
    const Form form(window);
    form.fill(QStringLiteral("127.0.0.1"), QString::number(proxy.port()), QString(), QString());
    QTest::mouseClick(form.save, Qt::LeftButton);
    QCOMPARE(fixture.controller->proxyMode, 1);
    QCOMPARE(exchange(url, QByteArrayLiteral("probe"), fixture.controller->proxyMode).error, 0);
    QCOMPARE(proxy.log().count(tunnel), 1);

    // Mode 0 goes direct.
    window->show();
    QTest::mouseClick(form.enabled, Qt::LeftButton, {}, QPoint(5, form.enabled->height() / 2));
    QTest::mouseClick(form.save, Qt::LeftButton);
    QCOMPARE(fixture.controller->proxyMode, 0);
    QCOMPARE(exchange(url, QByteArrayLiteral("probe"), fixture.controller->proxyMode).error, 0);
    QCOMPARE(proxy.log().count(tunnel), 1);
}

void TestSettings::startWithSessionShowsTheEntry_data()
{
    QTest::addColumn<QByteArray>("entry"); // empty: none
    QTest::addColumn<bool>("checked");
    const QByteArray entry("[Desktop Entry]\nType=Application\nName=Veltrane Auth\nExec=veltrane-auth\n");
    QTest::newRow("no entry") << QByteArray() << false;
    QTest::newRow("an entry") << entry << true;
    QTest::newRow("an entry switched off by the desktop") << entry + "Hidden=true\n" << false;
}

void TestSettings::startWithSessionShowsTheEntry()
{
    QFETCH(QByteArray, entry);
    QFETCH(bool, checked);
    ScreenFixture fixture;
    fixture.start();
    ProxySettings* window = fixture.screens.settingsWindow;
    const Form form(window);
    QVERIFY(form.complete());
    // Made while the program runs (by the desktop's own start-up settings): the box shows it when the window opens.
    if (!entry.isEmpty()) {
        QVERIFY(QDir().mkpath(fixture.home.path() + QStringLiteral("/.config/autostart")));
        QFile file(fixture.home.path() + QStringLiteral("/.config/autostart/veltrane-auth.desktop"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(entry);
    }
    form.startWithSession->setChecked(!checked);
    window->show();
    QCOMPARE(form.startWithSession->isChecked(), checked);
}

void TestSettings::startWithSessionWritesAndRemovesTheEntry_data()
{
    QTest::addColumn<QString>("configHome"); // XDG_CONFIG_HOME, with $HOME for the test's home; empty: unset
    QTest::addColumn<QString>("folder");     // where the entry must be, inside the home
    QTest::newRow("~/.config") << QString() << ".config/autostart";
    QTest::newRow("XDG_CONFIG_HOME") << "$HOME/my config"
                                     << "my config/autostart";
    QTest::newRow("a relative XDG_CONFIG_HOME is ignored") << "my config"
                                                           << ".config/autostart";
}

void TestSettings::startWithSessionWritesAndRemovesTheEntry()
{
    QFETCH(QString, configHome);
    QFETCH(QString, folder);
    ScreenFixture fixture;
    if (!configHome.isEmpty()) {
        // The fixture's home puts the variable back as it was.
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.replace(QStringLiteral("$HOME"), fixture.home.path())));
    }
    fixture.start();
    fixture.controller->settingsCaller = QStringLiteral("Login");
    ProxySettings* window = fixture.screens.settingsWindow;
    window->show();
    const Form form(window);
    QVERIFY(!form.startWithSession->isChecked());

    form.startWithSession->setChecked(true);
    // The modes are the program's own, whatever the umask.
    const mode_t umaskBefore = umask(0077);
    QTest::mouseClick(form.save, Qt::LeftButton);
    umask(umaskBefore);
    QVERIFY2(fixture.boxes.boxes.isEmpty(), qPrintable(fixture.boxes.texts().join(QLatin1Char('\n'))));
    const QString entry = fixture.home.path() + QLatin1Char('/') + folder + QStringLiteral("/veltrane-auth.desktop");
    QVERIFY(QFileInfo(entry).isFile());
    QCOMPARE(fileMode(entry), 0644);
    QCOMPARE(fileMode(QFileInfo(entry).path()), 0700);
    QCOMPARE(validationErrors(entry), QString());
    const QStringList lines = entryLines(entry);
    QVERIFY(lines.contains(QStringLiteral("TryExec=") + QCoreApplication::applicationFilePath()));
    QVERIFY(lines.contains(QStringLiteral("Name=Veltrane Auth")));
    // Proxy.dat keeps its seven records; the session keeps the choice.
    QFile settings(fixture.home.dataFile(QStringLiteral("Proxy.dat")));
    QVERIFY(settings.open(QIODevice::ReadOnly));
    QCOMPARE(settings.readAll().toHex(),
             SettingsFile::encode(SettingsValues{0, QString(), 0, QString(), QString(), false, false}).toHex());

    window->show();
    QVERIFY(form.startWithSession->isChecked());
    form.startWithSession->setChecked(false);
    QTest::mouseClick(form.save, Qt::LeftButton);
    QVERIFY(fixture.boxes.boxes.isEmpty());
    QVERIFY(!QFileInfo::exists(entry));
    window->show();
    QVERIFY(!form.startWithSession->isChecked());
    // Saving unchecked again, with no entry left, is no failure.
    QTest::mouseClick(form.save, Qt::LeftButton);
    QVERIFY(fixture.boxes.boxes.isEmpty());
}

void TestSettings::startWithSessionEntryStartsTheProgram()
{
    TestHome home;
    // A program in a folder whose name holds every character that an Exec line must quote or escape. (Not "%",
    // which the entry doubles as it must: GLib looks the program up before it undoes the doubling.)
    const QString folder = home.path() + QStringLiteral("/odd \"name\" 'quoted' $HOME `x` \\ ;&|<>*?#()~");
    QVERIFY(QDir().mkpath(folder));
    const QString program = folder + QStringLiteral("/veltrane stand-in");
    const QString marker = home.path() + QStringLiteral("/started");
    {
        QFile script(program);
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s\\n%s\\n' \"$0\" \"$#\" > \"$0.tmp\" && mv \"$0.tmp\" '" +
                     QFile::encodeName(marker) + "'\n");
        QVERIFY(script.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    }
    QVERIFY(Platform::setStartsWithSession(true, program));
    QVERIFY(Platform::startsWithSession());
    const QString entry = home.path() + QStringLiteral("/.config/autostart/veltrane-auth.desktop");
    QCOMPARE(validationErrors(entry), QString());

    // GLib's launcher, as desktop sessions start their autostart entries: the program starts, without arguments.
    QProcess launcher;
    launcher.start(QStringLiteral("gio"), {QStringLiteral("launch"), entry});
    QVERIFY2(launcher.waitForFinished(15000), qPrintable(launcher.errorString()));
    QVERIFY2(launcher.exitCode() == 0, launcher.readAllStandardError().constData());
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(marker), 15000);
    QFile started(marker);
    QVERIFY(started.open(QIODevice::ReadOnly));
    QCOMPARE(QFile::decodeName(started.readAll()), program + QStringLiteral("\n0\n"));

    QVERIFY(Platform::setStartsWithSession(false, program));
    QVERIFY(!Platform::startsWithSession());
    QVERIFY(!QFileInfo::exists(entry));
}

void TestSettings::startWithSessionFailureIsShown()
{
    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = QStringLiteral("Login");
    ProxySettings* window = fixture.screens.settingsWindow;
    window->show();
    // An autostart folder that is a file: no entry can be made in it.
    QVERIFY(QDir().mkpath(fixture.home.path() + QStringLiteral("/.config")));
    QFile blocker(fixture.home.path() + QStringLiteral("/.config/autostart"));
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    const Form form(window);
    form.startWithSession->setChecked(true);
    QTest::mouseClick(form.save, Qt::LeftButton);
    QCOMPARE(fixture.boxes.boxes.size(), 1);
    const MessageBox::Request& box = fixture.boxes.boxes.first();
    QCOMPARE(box.icon, QMessageBox::Critical);
    QCOMPARE(box.parent, static_cast<QWidget*>(window));
    QVERIFY(box.text.startsWith(QStringLiteral("Veltrane Auth could not change whether it starts when you log in")));
    // The other settings are saved all the same, and the reopened window shows the session's real state.
    QVERIFY(QFile::exists(fixture.home.dataFile(QStringLiteral("Proxy.dat"))));
    window->show();
    QVERIFY(!form.startWithSession->isChecked());
}

void TestSettings::screenshot()
{
    ScreenFixture fixture;
    fixture.start();
    fixture.controller->settingsCaller = QStringLiteral("Login");
    fixture.screens.loginWindow->hide();
    ProxySettings* window = fixture.screens.settingsWindow;
    window->show();
    const Form form(window);
    form.fill(QStringLiteral("proxy.example.net"), QStringLiteral("3128"), QStringLiteral("alice"),
              QStringLiteral("secret"));
    const QString dir = QStringLiteral(VELTRANE_BINARY_DIR "/artifacts");
    QDir().mkpath(dir);

    // Drawn on every page: the page's picture, and the two buttons' pictures (light top, dark blue bottom for
    // Save & Close; light grey for Cancel).
    const QList<PixelProbe> bothPages = {
        {QStringLiteral("page background, top"), {250, 60}, QColor(244, 247, 251)},
        {QStringLiteral("page background, bottom"), {250, 196}, QColor(226, 235, 246)},
        {QStringLiteral("Save & Close, top"), {330, 124}, QColor(125, 186, 243)},
        {QStringLiteral("Save & Close, bottom"), {330, 141}, QColor(33, 105, 201)},
        {QStringLiteral("Cancel, bottom"), {420, 141}, QColor(211, 219, 230)},
    };
    // The chosen tab stands higher and is blue; the other is grey, with nothing drawn above it.
    const QColor chosenTop(10, 61, 124, 247);
    const QColor chosenBottom(71, 151, 220, 249);
    const QColor otherTab(239, 239, 239);
    const QColor clear(0, 0, 0, 0);
    struct Page {
        int index;
        const char* file;
        QList<PixelProbe> tabs;
    };
    const Page pages[] = {
        {0,
         "/settings-proxy.png",
         {{QStringLiteral("Proxy Settings tab, top"), {60, 3}, chosenTop},
          {QStringLiteral("Proxy Settings tab, bottom"), {60, 22}, chosenBottom},
          {QStringLiteral("above the Preference tab"), {180, 3}, clear},
          {QStringLiteral("Preference tab"), {180, 22}, otherTab}}},
        {1,
         "/settings-preference.png",
         {{QStringLiteral("above the Proxy Settings tab"), {60, 3}, clear},
          {QStringLiteral("Proxy Settings tab"), {60, 22}, otherTab},
          {QStringLiteral("Preference tab, top"), {180, 3}, chosenTop},
          {QStringLiteral("Preference tab, bottom"), {180, 22}, chosenBottom}}},
    };
    for (const Page& page : pages) {
        form.tabs->setCurrentIndex(page.index);
        const QImage shot = fixture.controller->container()->grab().toImage();
        const QString path = dir + QLatin1String(page.file);
        QVERIFY(shot.save(path));
        const QString missed = missedProbes(shot, bothPages + page.tabs);
        QVERIFY2(missed.isEmpty(), qPrintable(path + QLatin1Char('\n') + missed));
    }
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
