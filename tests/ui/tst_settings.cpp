// The settings window on the offscreen platform: validation, what Save stores and writes to Proxy.dat, Cancel,
// the return to the calling screen, a failed write, the proxy reaching the transport (through a real tinyproxy),
// and a screenshot of the window in the container.
#include "app/AppController.h"
#include "app/BaseScreen.h"
#include "app/SharedText.h"
#include "protocol/HttpsTransport.h"
#include "storage/SettingsFile.h"
#include "support/DevServer.h"
#include "support/ScreenFixture.h"
#include "ui/login/MainWindow.h"
#include "ui/settings/ProxySettings.h"
#include "ui/token/Tokendetails.h"

#include "../protocol/TinyProxy.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

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
          tabs(window->findChild<QTabWidget*>(QStringLiteral("tabWidget"))),
          panel(window->findChild<QWidget*>(QStringLiteral("widgetPD"))),
          save(window->findChild<QPushButton*>(QStringLiteral("pBProxySave"))),
          cancel(window->findChild<QPushButton*>(QStringLiteral("pBProxyCancel")))
    {}
    bool complete() const
    {
        return enabled && host && port && user && password && alwaysTop && hideTag && tabs && panel && save && cancel;
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
} // namespace

class TestSettings : public QObject {
    Q_OBJECT

private slots:
    void validation_data();
    void validation();
    void saveWritesTheFileAndReturns_data();
    void saveWritesTheFileAndReturns();
    void uncheckingClearsTheStoredProxy();
    void cancelStoresNothing();
    void failedWriteIsShown();
    void alwaysTopAppliesAtOnceAndAtNextStart();
    void proxyReachesTheTransport();
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
    form.tabs->setCurrentIndex(0);
    QVERIFY(fixture.controller->container()->grab().save(dir + QStringLiteral("/settings-proxy.png")));
    form.tabs->setCurrentIndex(1);
    QVERIFY(fixture.controller->container()->grab().save(dir + QStringLiteral("/settings-preference.png")));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
