// The login window against the development server in its own process: the input checks, every reply code of the
// status, registration, authentication and sync servlets with the window's reaction, network failures at each step,
// one chain at a time, and a first sign-in that ends on the token screen.
#include "core/SharedText.h"
#include "protocol/AuthTransaction.h"
#include "protocol/TinyProxy.h"
#include "storage/ResourceRecord.h"
#include "storage/ResourceStore.h"
#include "support/DemoAccount.h"
#include "support/DevServer.h"
#include "support/PixelProbe.h"
#include "support/ScreenFixture.h"
#include "ui/common/StatusMarquee.h"
#include "ui/login/MainWindow.h"
#include "ui/settings/ProxySettings.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/token/Tokendetails.h"

#include <QApplication>
#include <QClipboard>
#include <QFile>
#include <QGuiApplication>
#include <QJsonArray>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

namespace {

const QString kUser = QStringLiteral("demo.user");
const QString kPassword = QStringLiteral("demo-pass-2026");
const QString kDemoData = QStringLiteral(VELTRANE_SOURCE_DIR "/tools/devserver/demo.json");
const QString kSending = QStringLiteral("  Please wait..  Sending Request...!");
const QString kDots = QStringLiteral("Please login.....");
const QString kConnected = QStringLiteral("Network Connected Sucessfully");

QString pleaseLogin()
{
    return QStringLiteral("  Please Login..!  ") + QChar(0x00BB);
}

QJsonObject forced(const QString& servlet, const QJsonObject& reply)
{
    return {{QStringLiteral("overrides"), QJsonObject{{servlet, reply}}}};
}

QJsonObject code(const QString& servlet, const char* value)
{
    return forced(servlet, {{QStringLiteral("code"), QLatin1String(value)}});
}

QString describe(const MessageBox::Request& box)
{
    if (box.kind == MessageBox::Kind::About) {
        return QStringLiteral("about: ") + box.text;
    }
    if (box.icon == QMessageBox::Critical) {
        return QStringLiteral("critical: ") + box.text;
    }
    if (box.icon == QMessageBox::Information) {
        return QStringLiteral("information: ") + box.text;
    }
    return QStringLiteral("other: ") + box.text;
}

QString info(const QString& text)
{
    return QStringLiteral("information: ") + text;
}

QString critical(const QString& text)
{
    return QStringLiteral("critical: ") + text;
}

// The status line scrolls while the window is shown: the text is the expected one, turned by some characters.
bool isRotationOf(const QString& actual, const QString& expected)
{
    return actual.size() == expected.size() && (expected + expected).contains(actual);
}

QStringList servlets(const DevServer& server)
{
    QStringList names;
    for (const QJsonObject& request : server.requests()) {
        names.append(request.value(QStringLiteral("servlet")).toString());
    }
    return names;
}

QStringList fieldsOf(const QJsonObject& request)
{
    QStringList fields;
    for (const QJsonValue& value : request.value(QStringLiteral("fields")).toArray()) {
        fields.append(value.toString());
    }
    return fields;
}

} // namespace

class TestLogin : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void layout_data();
    void layout();
    void keysFocusAndFirstStatus();

    void validation_data();
    void validation();
    void blanksAreRemovedOnlyForAuthentication();

    void statusReplies_data();
    void statusReplies();
    void registrationReplies_data();
    void registrationReplies();
    void lineBehindTheBox_data();
    void lineBehindTheBox();
    void authAndSyncFailures_data();
    void authAndSyncFailures();

    void networkFailure_data();
    void networkFailure();
    void sslContextErrorOffersTheDownload();

    void proxyModeGoesWithEveryRequest_data();
    void proxyModeGoesWithEveryRequest();
    void oneChainAtATime();
    void firstSignInReachesTheTokenScreen();
    void tokenScreenTakesTheFocus_data();
    void tokenScreenTakesTheFocus();
    void resetLoginStatusReturnsToTheLoginWindow();
    void closeAndSettingsButtons();
    void settingsAreAskedFor();
    void setTagHiddenHidesTheTagAndFields();

private:
    template <typename T> T* widget(const char* name) const
    {
        T* found = window()->findChild<T*>(QLatin1String(name));
        if (!found) {
            qFatal("no widget %s", name);
        }
        return found;
    }
    MainWindow* window() const { return fixture_->screens.loginWindow; }
    bool startServer(const QString& deviceState, const QJsonObject& userExtra);
    void typeCredentials(const QString& user, const QString& password);
    // Clicks Login and waits until the chain has ended.
    bool signIn();
    QStringList logLines() const;
    // Columns shared by the three reply tables, and the check of a finished chain against one row.
    static void addChainColumns();
    void checkChain();

    std::unique_ptr<ScreenFixture> fixture_;
    std::unique_ptr<DevServer> server_;
};

void TestLogin::init()
{
    fixture_ = std::make_unique<ScreenFixture>();
    server_ = std::make_unique<DevServer>();
}

void TestLogin::cleanup()
{
    server_.reset();
    fixture_.reset();
}

bool TestLogin::startServer(const QString& deviceState, const QJsonObject& userExtra)
{
    const QString identity = fixture_->controller->deviceIdentity();
    if (!server_->start(DemoAccount::withDevice(identity, deviceState, userExtra))) {
        qWarning("%s", qPrintable(server_->errorOutput()));
        return false;
    }
    fixture_->useServer(*server_);
    return true;
}

void TestLogin::typeCredentials(const QString& user, const QString& password)
{
    widget<QLineEdit>("leUserName")->setText(user);
    widget<QLineEdit>("lePassword")->setText(password);
}

bool TestLogin::signIn()
{
    QTest::mouseClick(widget<QPushButton>("pBLogin"), Qt::LeftButton);
    return QTest::qWaitFor([this] { return !window()->chainInFlight(); }, 30000);
}

QStringList TestLogin::logLines() const
{
    QFile file(fixture_->home.dataFile(QStringLiteral("log.dat")));
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Each entry is "\n" date <-> time <-> text "\r\n".
    return QString::fromLatin1(file.readAll()).remove(QLatin1Char('\r')).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

void TestLogin::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<bool>("enabled");
    QTest::newRow("token panel") << "widgetToken" << QRect(0, 0, 275, 139) << QString() << true;
    QTest::newRow("settings") << "pBTProxy" << QRect(50, 85, 32, 32) << "Settings (Ctrl+,)" << true;
    QTest::newRow("status line") << "lblStatus" << QRect(90, 35, 118, 31) << QString() << true;
    QTest::newRow("close") << "pBExit" << QRect(222, 10, 31, 23) << "Close" << true;
    QTest::newRow("logout") << "pBLogout" << QRect(20, 85, 32, 32) << "Logout" << false;
    QTest::newRow("sync") << "pBSync" << QRect(80, 85, 32, 32) << "Sync Token" << false;
    QTest::newRow("previous") << "pBPrev" << QRect(120, 85, 41, 32) << "Previous Resource" << false;
    QTest::newRow("next") << "pBNext" << QRect(178, 85, 41, 32) << "Next Resource" << false;
    QTest::newRow("information tag") << "widgetLTag" << QRect(244, 10, 251, 117) << QString() << true;
    QTest::newRow("password icon") << "framePassword" << QRect(92, 50, 24, 24) << QString() << true;
    QTest::newRow("user icon") << "frameUser" << QRect(92, 20, 24, 24) << QString() << true;
    QTest::newRow("password") << "lePassword" << QRect(362, 61, 118, 21) << "Password" << true;
    QTest::newRow("user") << "leUserName" << QRect(362, 31, 118, 21) << "Username" << true;
    QTest::newRow("login") << "pBLogin" << QRect(430, 87, 48, 24) << "Login (Enter)" << true;
    QTest::newRow("out of sight") << "textEdit" << QRect(190, 320, 104, 71) << QString() << true;
    QTest::newRow("logo") << "VeltraneLogo" << QRect(36, 32, 32, 32) << QString() << true;
}

void TestLogin::layout()
{
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, toolTip);
    QFETCH(bool, enabled);
    fixture_->start();
    auto* found = window()->findChild<QWidget*>(name);
    QVERIFY(found);
    QCOMPARE(found->geometry(), geometry);
    QCOMPARE(found->toolTip(), toolTip);
    QCOMPARE(found->isEnabled(), enabled);
    QVERIFY(found->isVisible());
    if (auto* button = qobject_cast<QPushButton*>(found)) {
        QCOMPARE(button->focusPolicy(), Qt::NoFocus);
        QCOMPARE(button->contextMenuPolicy(), Qt::NoContextMenu);
        QVERIFY(button->isFlat());
    }
    const QStringList inTag{QStringLiteral("framePassword"), QStringLiteral("frameUser")};
    QCOMPARE(found->parentWidget()->objectName(),
             inTag.contains(name) ? QStringLiteral("widgetLTag") : QStringLiteral("centralWidget"));
}

void TestLogin::keysFocusAndFirstStatus()
{
    fixture_->start();
    auto* user = widget<QLineEdit>("leUserName");
    auto* password = widget<QLineEdit>("lePassword");
    QCOMPARE(password->echoMode(), QLineEdit::Password);
    QCOMPARE(widget<QLabel>("lblStatus")->font().family().toLower(), QStringLiteral("digital-7"));
    QCOMPARE(widget<QLabel>("lblStatus")->font().pointSize(), 14);

    // 24 blanks bring the prompt in from the right.
    const QString first = QString(24, QLatin1Char(' ')) + pleaseLogin();
    QCOMPARE(first.size(), 44);
    const QString now = fixture_->controller->statusText();
    QCOMPARE(now.size(), 44);
    QVERIFY2((first + first).contains(now), qPrintable(now));
    QVERIFY(window()->marquee()->isTicking());

    // The focus starts in the user name field; Tab and Enter move it to the password field.
    QTRY_COMPARE(window()->focusWidget(), user);
    QTest::keyClick(user, Qt::Key_Return);
    QCOMPARE(window()->focusWidget(), password);
    user->setFocus();
    QTest::keyClick(user, Qt::Key_Tab);
    QCOMPARE(window()->focusWidget(), password);
    // The text box below the visible area takes no focus: Tab goes round the two fields.
    QCOMPARE(widget<QTextEdit>("textEdit")->focusPolicy(), Qt::NoFocus);
    QTest::keyClick(password, Qt::Key_Tab);
    QCOMPARE(window()->focusWidget(), user);

    // The line has scrolled at least once when the picture is taken.
    QTRY_VERIFY(!widget<QLabel>("lblStatus")->text().isEmpty());
    const QImage shot = fixture_->controller->container()->grab().toImage();
    QVERIFY(shot.save(QStringLiteral("login-window.png")));
    // The panel's and the tag's pictures, the fields' icons and grey border, the Login button's picture, and the
    // prompt in white on the display.
    const QString missed =
        missedProbes(shot, {
                               {QStringLiteral("panel"), {120, 110}, QColor(24, 33, 51)},
                               {QStringLiteral("tag"), {420, 27}, QColor(252, 253, 254)},
                               {QStringLiteral("tag's band"), {320, 70}, QColor(52, 121, 208)},
                               {QStringLiteral("user icon"), {348, 42}, QColor(137, 173, 221)},
                               {QStringLiteral("password icon"), {348, 72}, QColor(30, 97, 185)},
                               {QStringLiteral("user field's border"), {420, 31}, QColor(128, 128, 128)},
                               {QStringLiteral("Login button"), {436, 99}, QColor(50, 128, 212)},
                           });
    QVERIFY2(missed.isEmpty(), qPrintable(missed));
    QVERIFY(hasWhitePixel(shot, QRect(104, 40, 96, 20)));
}

void TestLogin::validation_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<bool>("valid");
    const QString okUser = kUser;
    const QString okPassword = kPassword;
    QTest::newRow("user of 5") << QString(5, QLatin1Char('u')) << okPassword << false;
    QTest::newRow("user of 6") << QString(6, QLatin1Char('u')) << okPassword << true;
    QTest::newRow("user of 100") << QString(100, QLatin1Char('u')) << okPassword << true;
    QTest::newRow("user of 101") << QString(101, QLatin1Char('u')) << okPassword << false;
    QTest::newRow("user empty") << QString() << okPassword << false;
    QTest::newRow("user of 6 blanks") << QString(6, QLatin1Char(' ')) << okPassword << true;
    QTest::newRow("user of 5 blanks") << QString(5, QLatin1Char(' ')) << okPassword << false;
    QTest::newRow("password of 5") << okUser << QString(5, QLatin1Char('p')) << false;
    QTest::newRow("password of 6") << okUser << QString(6, QLatin1Char('p')) << true;
    QTest::newRow("password of 100") << okUser << QString(100, QLatin1Char('p')) << true;
    QTest::newRow("password of 101") << okUser << QString(101, QLatin1Char('p')) << false;
    QTest::newRow("password of 6 blanks") << okUser << QString(6, QLatin1Char(' ')) << true;
    QTest::newRow("password of 5 blanks") << okUser << QString(5, QLatin1Char(' ')) << false;
}

void TestLogin::validation()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(bool, valid);
    QVERIFY(startServer(QString(), {}));
    typeCredentials(user, password);
    QString statusBehindBox;
    fixture_->boxes.whileOpen = [&](const MessageBox::Request&) {
        statusBehindBox = fixture_->controller->statusText();
        QVERIFY(!widget<QPushButton>("pBLogin")->isEnabled());
    };
    QVERIFY(signIn());
    if (!valid) {
        QCOMPARE(fixture_->boxes.boxes.size(), 1);
        QCOMPARE(describe(fixture_->boxes.boxes.at(0)), critical(SharedText::get().msgCredentialLength));
        QCOMPARE(fixture_->boxes.boxes.at(0).parent, window());
        QCOMPARE(fixture_->boxes.boxes.at(0).title, SharedText::get().appName);
        // Nothing was sent and the prompt goes on scrolling.
        QVERIFY(server_->requests().isEmpty());
        QVERIFY(statusBehindBox.endsWith(pleaseLogin()));
        QCOMPARE(widget<QLineEdit>("leUserName")->text(), user);
        QCOMPARE(widget<QLineEdit>("lePassword")->text(), password);
        QVERIFY(widget<QLineEdit>("leUserName")->isEnabled());
        QVERIFY(widget<QLineEdit>("lePassword")->isEnabled());
        QVERIFY(widget<QPushButton>("pBLogin")->isEnabled());
        return;
    }
    // The status request carries the texts as typed.
    const QList<QJsonObject> requests = server_->requests();
    QCOMPARE(requests.size(), 1);
    QCOMPARE(requests.at(0).value(QStringLiteral("servlet")).toString(), QStringLiteral("stat"));
    const QStringList fields = fieldsOf(requests.at(0));
    QCOMPARE(fields.value(0), QStringLiteral("1"));
    QCOMPARE(fields.value(1), user);
    QCOMPARE(fields.value(2), password);
}

void TestLogin::blanksAreRemovedOnlyForAuthentication()
{
    const QString blankUser(6, QLatin1Char(' '));
    QJsonObject blankAccount{{QStringLiteral("name"), blankUser},
                             {QStringLiteral("password"), QStringLiteral("open sesame")},
                             {QStringLiteral("account"), QStringLiteral("active")},
                             {QStringLiteral("overrides"),
                              QJsonObject{{QStringLiteral("stat"), QJsonObject{{QStringLiteral("code"), "10"}}}}}};
    QJsonObject data = DemoAccount::withDevice(fixture_->controller->deviceIdentity(), QString(), {});
    QJsonArray users = data.value(QStringLiteral("users")).toArray();
    users.append(blankAccount);
    data.insert(QStringLiteral("users"), users);
    QVERIFY(server_->start(data));
    fixture_->useServer(*server_);

    typeCredentials(blankUser, QStringLiteral("open sesame"));
    QVERIFY(signIn());
    const QList<QJsonObject> requests = server_->requests();
    QCOMPARE(servlets(*server_), (QStringList{QStringLiteral("stat"), QStringLiteral("auth")}));
    QCOMPARE(fieldsOf(requests.at(0)).mid(1, 2), (QStringList{blankUser, QStringLiteral("open sesame")}));
    QCOMPARE(fieldsOf(requests.at(1)).mid(0, 3), (QStringList{QStringLiteral("3"), QString(), "opensesame"}));
    // The server knows no such user without the blanks: the fields are emptied for a new try.
    QVERIFY(fixture_->boxes.boxes.isEmpty());
    QCOMPARE(fixture_->controller->statusText(), pleaseLogin());
    QCOMPARE(widget<QLineEdit>("leUserName")->text(), QString());
}

void TestLogin::addChainColumns()
{
    QTest::addColumn<QString>("deviceState");
    QTest::addColumn<QJsonObject>("userExtra");
    QTest::addColumn<QStringList>("boxes");
    // A null text: the token screen owns the line after a hand-over.
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("userAfter");
    QTest::addColumn<QString>("passwordAfter");
    QTest::addColumn<bool>("fieldsEnabled");
    QTest::addColumn<bool>("loginEnabled");
    QTest::addColumn<QStringList>("servletsCalled");
    // Lines the log must hold, in this order.
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<bool>("loginFile");
    QTest::addColumn<bool>("resFile");
    QTest::addColumn<bool>("handedOver");
}

void TestLogin::checkChain()
{
    QFETCH(QString, deviceState);
    QFETCH(QJsonObject, userExtra);
    QFETCH(QStringList, boxes);
    QFETCH(QString, status);
    QFETCH(QString, userAfter);
    QFETCH(QString, passwordAfter);
    QFETCH(bool, fieldsEnabled);
    QFETCH(bool, loginEnabled);
    QFETCH(QStringList, servletsCalled);
    QFETCH(QStringList, log);
    QFETCH(bool, loginFile);
    QFETCH(bool, resFile);
    QFETCH(bool, handedOver);

    QVERIFY(startServer(deviceState, userExtra));
    fixture_->start();
    typeCredentials(kUser, kPassword);
    QVERIFY(signIn());

    QStringList shown;
    for (const MessageBox::Request& box : std::as_const(fixture_->boxes.boxes)) {
        shown.append(describe(box));
        QCOMPARE(box.parent, window());
        QCOMPARE(box.title, SharedText::get().appName);
    }
    QCOMPARE(shown, boxes);
    if (!status.isNull()) {
        QVERIFY2(isRotationOf(fixture_->controller->statusText(), status),
                 qPrintable(fixture_->controller->statusText()));
    }
    QCOMPARE(widget<QLineEdit>("leUserName")->text(), userAfter);
    QCOMPARE(widget<QLineEdit>("lePassword")->text(), passwordAfter);
    QCOMPARE(widget<QLineEdit>("leUserName")->isEnabled(), fieldsEnabled);
    QCOMPARE(widget<QLineEdit>("lePassword")->isEnabled(), fieldsEnabled);
    QCOMPARE(widget<QPushButton>("pBLogin")->isEnabled(), loginEnabled);
    QCOMPARE(servlets(*server_), servletsCalled);

    const QStringList lines = logLines();
    int at = 0;
    for (const QString& expected : std::as_const(log)) {
        while (at < lines.size() && !lines.at(at).endsWith(expected)) {
            ++at;
        }
        QVERIFY2(at < lines.size(), qPrintable(QStringLiteral("log lacks: ") + expected + QLatin1Char('\n') +
                                               lines.join(QLatin1Char('\n'))));
        ++at;
    }
    QCOMPARE(QFile::exists(fixture_->home.dataFile(QStringLiteral("login.dat"))), loginFile);
    QCOMPARE(QFile::exists(fixture_->home.dataFile(QStringLiteral("res.dat"))), resFile);
    if (loginFile) {
        // The session the server opened, for the user as typed.
        AuthTransaction stored;
        QCOMPARE(stored.loginUser, kUser);
        QCOMPARE(stored.loginPassword, kPassword);
        QCOMPARE(stored.sessionId.size(), 24);
        QCOMPARE(stored.sessionKey.size(), 32);
    }
    if (resFile) {
        QStringList names;
        for (const ResourceRecord& record : ResourceStore().load()) {
            names.append(record.resourceName);
        }
        QCOMPARE(names, (QStringList{QStringLiteral("Mail Gateway"), QStringLiteral("VPN Z\u00FCrich"),
                                     QStringLiteral("Build Server")}));
    }
    QCOMPARE(window()->isVisible(), !handedOver);
    QCOMPARE(fixture_->screens.tokenScreen->isVisible(), handedOver);
    if (handedOver) {
        QCOMPARE(fixture_->screens.tokenScreen->secondsLeft(), 30);
        QVERIFY(countdownTimer(fixture_->screens.tokenScreen)->isActive());
        QCOMPARE(countdownTimer(fixture_->screens.tokenScreen)->interval(), 1000);
        QCOMPARE(window()->marquee()->scrollCounter(), 0);
        QVERIFY(!window()->marquee()->isTimerOn());
        QCOMPARE(resourceList().size(), 3);
    }
}

void TestLogin::statusReplies_data()
{
    const SharedText& t = SharedText::get();
    addChainColumns();
    const QStringList stat{QStringLiteral("stat")};
    const QStringList connected{kConnected};
    const QString user = kUser;
    const QString pass = kPassword;
    const QString none;
    const QString registered = QStringLiteral("registered");
    const QStringList chain{QStringLiteral("stat"), QStringLiteral("auth"), QStringLiteral("sync")};
    const QStringList handOver{kConnected, QStringLiteral("Persist data is Started"),
                               QStringLiteral("Persist data is completed")};

    // Codes that end the chain with the fields still disabled leave only the Login button usable.
    QTest::newRow("-1 unable to process")
        << none << code("stat", "-1") << QStringList{info(t.msgServerUnableToProcess)} << kSending << user << pass
        << false << true << stat << connected << false << false << false;
    QTest::newRow("0 nothing") << none << code("stat", "0") << QStringList() << kSending << user << pass << false
                               << true << stat << connected << false << false << false;
    // A reply with no readable code is told, and leaves the window as a failed request does.
    const QStringList unreadable{critical(t.msgServerUnableToProcess)};
    QTest::newRow("not a number is unreadable")
        << none << forced("stat", {{QStringLiteral("reply"), QJsonArray{QStringLiteral("abc")}}}) << unreadable << kDots
        << user << pass << true << true << stat << connected << false << false << false;
    QTest::newRow("empty body") << none << forced("stat", {{QStringLiteral("clear"), QString()}}) << unreadable << kDots
                                << user << pass << true << true << stat << connected << false << false << false;
    QTest::newRow("undecipherable body") << none << forced("stat", {{QStringLiteral("undecipherable"), true}})
                                         << unreadable << kDots << user << pass << true << true << stat << connected
                                         << false << false << false;
    QTest::newRow("1 invalid credentials")
        << none << code("stat", "1") << QStringList{info(t.msgInvalidCredentials)} << kDots << user << pass << true
        << true << stat << connected << false << false << false;
    QTest::newRow("2 no such credentials")
        << none << code("stat", "2") << QStringList{info(t.msgNoSuchCredentials)} << kDots << QString() << QString()
        << true << true << stat << connected << false << false << false;
    QTest::newRow("3 device info missing")
        << none << code("stat", "3") << QStringList{info(t.msgDeviceInfoMissing)} << kDots << user << pass << true
        << true << stat << connected << false << false << false;
    QTest::newRow("4 device of another user")
        << none << code("stat", "4") << QStringList{info(t.msgDeviceOtherUser)} << kDots << user << pass << true << true
        << stat << connected << false << false << false;
    QTest::newRow("5 registration limit")
        << none << code("stat", "5") << QStringList{info(t.msgRegistrationLimit)} << kDots << QString() << QString()
        << true << true << stat << connected << false << false << false;
    QTest::newRow("6 account locked") << none << QJsonObject{{QStringLiteral("account"), QStringLiteral("locked")}}
                                      << QStringList{info(t.msgAccountLocked)} << "Try After Some time..." << user
                                      << QString() << true << true << stat << connected << false << false << false;
    QTest::newRow("10 registered goes on to sign in")
        << registered << QJsonObject() << QStringList() << QString() << QString() << QString() << true << true << chain
        << handOver << true << true << true;
    QTest::newRow("11 not registered sends the registration")
        << none << code("reg", "11") << QStringList() << kDots << user << pass << true << true
        << QStringList{QStringLiteral("stat"), QStringLiteral("reg")} << QStringList{kConnected, kConnected} << false
        << false << false;
    QTest::newRow("20 pending") << QStringLiteral("pending") << QJsonObject()
                                << QStringList{info(t.msgRegistrationSubmitted)} << kDots << user << pass << false
                                << true << stat << connected << false << false << false;
    QTest::newRow("21 rejected") << QStringLiteral("rejected") << QJsonObject()
                                 << QStringList{info(t.msgRegistrationRejected)} << kDots << user << pass << false
                                 << true << stat << connected << false << false << false;
    QTest::newRow("22 device locked") << QStringLiteral("locked") << QJsonObject()
                                      << QStringList{critical(t.msgDeviceLocked)} << kDots << user << pass << false
                                      << true << stat << connected << false << false << false;
}

void TestLogin::statusReplies()
{
    checkChain();
}

void TestLogin::registrationReplies_data()
{
    const SharedText& t = SharedText::get();
    addChainColumns();
    const QStringList reg{QStringLiteral("stat"), QStringLiteral("reg")};
    const QStringList connected{kConnected, kConnected};
    const QString user = kUser;
    const QString pass = kPassword;
    const QString none;
    const QStringList chain{QStringLiteral("stat"), QStringLiteral("reg"), QStringLiteral("auth"),
                            QStringLiteral("sync")};
    const QStringList handOver{kConnected,
                               kConnected,
                               QStringLiteral("Auth Server Response : ") + t.msgLoginSuccess,
                               kConnected,
                               QStringLiteral("Persist data is Started"),
                               QStringLiteral("Persist data is completed")};

    // Every registration reply enables the fields and the Login button again.
    QTest::newRow("-1 unable to process")
        << none << code("reg", "-1") << QStringList{info(t.msgServerUnableToProcess)} << kDots << user << pass << true
        << true << reg << connected << false << false << false;
    QTest::newRow("0 nothing") << none << code("reg", "0") << QStringList() << kSending << user << pass << true << true
                               << reg << connected << false << false << false;
    QTest::newRow("1 invalid credentials")
        << none << code("reg", "1") << QStringList{info(t.msgInvalidCredentials)} << kSending << user << pass << true
        << true << reg << connected << false << false << false;
    QTest::newRow("2 no such credentials")
        << none << code("reg", "2") << QStringList{info(t.msgNoSuchCredentials)} << kDots << QString() << QString()
        << true << true << reg << connected << false << false << false;
    QTest::newRow("3 device info missing")
        << none << code("reg", "3") << QStringList{info(t.msgDeviceInfoMissing)} << kDots << user << pass << true
        << true << reg << connected << false << false << false;
    QTest::newRow("4 device of another user")
        << none << code("reg", "4") << QStringList{info(t.msgDeviceOtherUser)} << kDots << user << pass << true << true
        << reg << connected << false << false << false;
    QTest::newRow("5 registration limit")
        << none << code("reg", "5") << QStringList{info(t.msgRegistrationLimit)} << kDots << user << pass << true
        << true << reg << connected << false << false << false;
    QTest::newRow("6 account locked") << none << code("reg", "6") << QStringList{info(t.msgAccountLocked)}
                                      << "Try After Some time...." << user << QString() << true << true << reg
                                      << connected << false << false << false;
    QTest::newRow("10 registered goes on to sign in")
        << none << code("reg", "10") << QStringList() << QString() << QString() << QString() << true << true << chain
        << handOver << true << true << true;
    const QStringList unreadable{critical(t.msgServerUnableToProcess)};
    QTest::newRow("empty body") << none << forced("reg", {{QStringLiteral("clear"), QString()}}) << unreadable
                                << kSending << user << pass << true << true << reg << connected << false << false
                                << false;
    QTest::newRow("undecipherable body") << none << forced("reg", {{QStringLiteral("undecipherable"), true}})
                                         << unreadable << kSending << user << pass << true << true << reg << connected
                                         << false << false << false;
    QTest::newRow("11 nothing more") << none << code("reg", "11") << QStringList() << kDots << user << pass << true
                                     << true << reg << connected << false << false << false;
    QTest::newRow("12 registered goes on to sign in")
        << none << code("reg", "12") << QStringList() << QString() << QString() << QString() << true << true << chain
        << handOver << true << true << true;
}

void TestLogin::registrationReplies()
{
    checkChain();
}

// What the status line shows behind a reply's box: most codes change it once the box is closed, "invalid
// credentials" to the status request changes it first.
void TestLogin::lineBehindTheBox_data()
{
    QTest::addColumn<QJsonObject>("userExtra");
    QTest::addColumn<QString>("behind");
    QTest::newRow("status 1 changes the line first") << code("stat", "1") << kDots;
    QTest::newRow("status 2 after the box") << code("stat", "2") << kSending;
    QTest::newRow("registration 1 after the box") << code("reg", "1") << kSending;
}

void TestLogin::lineBehindTheBox()
{
    QFETCH(QJsonObject, userExtra);
    QFETCH(QString, behind);
    QVERIFY(startServer(QString(), userExtra));
    fixture_->start();
    QStringList seen;
    fixture_->boxes.whileOpen = [this, &seen](const MessageBox::Request&) {
        seen.append(fixture_->controller->statusText());
    };
    typeCredentials(kUser, kPassword);
    QVERIFY(signIn());
    QCOMPARE(seen.size(), 1);
    QVERIFY2(isRotationOf(seen.first(), behind), qPrintable(seen.first()));
}

void TestLogin::authAndSyncFailures_data()
{
    const SharedText& t = SharedText::get();
    addChainColumns();
    const QString registered = QStringLiteral("registered");
    const QStringList toAuth{QStringLiteral("stat"), QStringLiteral("auth")};
    const QStringList toSync{QStringLiteral("stat"), QStringLiteral("auth"), QStringLiteral("sync")};
    const QString authPrefix = QStringLiteral("Auth Server Response : ");
    const QString syncPrefix = QStringLiteral("Sync Server Response : ");
    const QString signedIn = authPrefix + t.msgLoginSuccess;

    // A refused authentication shows no box: the fields are emptied for a new try.
    QTest::newRow("auth 0 wrong credentials")
        << registered << code("auth", "0") << QStringList() << pleaseLogin() << QString() << QString() << true << true
        << toAuth << QStringList{kConnected, authPrefix + t.msgEnterCredentials} << false << false << false;
    QTest::newRow("auth 1 device of another user")
        << registered << code("auth", "1") << QStringList() << pleaseLogin() << QString() << QString() << true << true
        << toAuth << QStringList{kConnected, authPrefix + t.msgDeviceOtherUser} << false << false << false;
    QTest::newRow("auth 6 account locked")
        << registered << code("auth", "6") << QStringList() << pleaseLogin() << QString() << QString() << true << true
        << toAuth << QStringList{kConnected} << false << false << false;
    QTest::newRow("auth -1 in clear") << registered << forced("auth", {{QStringLiteral("clear"), "-1"}})
                                      << QStringList() << pleaseLogin() << QString() << QString() << true << true
                                      << toAuth << QStringList{kConnected} << false << false << false;
    // Nothing readable: told, and the fields kept as after a failed request.
    const QStringList unreadable{critical(t.msgServerUnableToProcess)};
    const QString authFailed = QStringLiteral(" Please Login..!  ") + QChar(0x00BB);
    const QString decryptFailure = QStringLiteral("Auth Server Decrypted Response  Failure!");
    QTest::newRow("auth undecipherable") << registered << forced("auth", {{QStringLiteral("undecipherable"), true}})
                                         << unreadable << authFailed << kUser << kPassword << true << true << toAuth
                                         << QStringList{kConnected, decryptFailure} << false << false << false;
    QTest::newRow("auth empty body") << registered << forced("auth", {{QStringLiteral("clear"), QString()}})
                                     << unreadable << authFailed << kUser << kPassword << true << true << toAuth
                                     << QStringList{kConnected, decryptFailure} << false << false << false;
    QTest::newRow("auth code not a number")
        << registered << forced("auth", {{QStringLiteral("reply"), QJsonArray{QStringLiteral("abc"), QString()}}})
        << unreadable << authFailed << kUser << kPassword << true << true << toAuth << QStringList{kConnected} << false
        << false << false;

    // A failed sync asks for a new sign-in; the session was stored when the authentication succeeded.
    QTest::newRow("sync 0 wrong credentials")
        << registered << code("sync", "0") << QStringList{critical(t.msgEnterCredentials)} << pleaseLogin() << QString()
        << QString() << true << true << toSync << QStringList{signedIn, kConnected, syncPrefix + t.msgEnterCredentials}
        << true << false << false;
    QTest::newRow("sync 1 session expired")
        << registered << code("sync", "1") << QStringList{info(t.msgSessionExpired)} << pleaseLogin() << QString()
        << QString() << true << true << toSync << QStringList{signedIn, kConnected, syncPrefix + t.msgSessionExpired}
        << true << false << false;
    QTest::newRow("sync 2 device of another user")
        << registered << code("sync", "2") << QStringList{critical(t.msgDeviceOtherUser)} << pleaseLogin() << QString()
        << QString() << true << true << toSync << QStringList{signedIn, kConnected, syncPrefix + t.msgDeviceOtherUser}
        << true << false << false;
    QTest::newRow("sync -2 in clear") << registered << forced("sync", {{QStringLiteral("clear"), "-2"}})
                                      << QStringList{critical(t.msgServerUnableToProcess)} << pleaseLogin() << QString()
                                      << QString() << true << true << toSync
                                      << QStringList{signedIn, kConnected,
                                                     QStringLiteral("Sync Server Decrypted Response Failure!")}
                                      << true << false << false;
    QTest::newRow("sync empty body") << registered << forced("sync", {{QStringLiteral("clear"), QString()}})
                                     << QStringList{critical(t.msgServerUnableToProcess)} << pleaseLogin() << QString()
                                     << QString() << true << true << toSync
                                     << QStringList{signedIn, kConnected,
                                                    QStringLiteral("Sync Server Decrypted Response Failure!")}
                                     << true << false << false;
    QTest::newRow("sync undecipherable") << registered << forced("sync", {{QStringLiteral("undecipherable"), true}})
                                         << QStringList{critical(QStringLiteral("Decrypted Failure"))} << pleaseLogin()
                                         << QString() << QString() << true << true << toSync
                                         << QStringList{signedIn, kConnected,
                                                        QStringLiteral("Sync Server Decrypted Response  Failure!")}
                                         << true << false << false;
    QTest::newRow("sync 10 without resources")
        << registered << forced("sync", {{QStringLiteral("reply"), QJsonArray{QStringLiteral("10"), QString()}}})
        << QStringList{info(t.msgTokenNotFound)} << pleaseLogin() << QString() << QString() << true << true << toSync
        << QStringList{signedIn, kConnected} << true << false << false;
}

void TestLogin::authAndSyncFailures()
{
    checkChain();
}

void TestLogin::networkFailure_data()
{
    QTest::addColumn<QString>("servlet");
    QTest::addColumn<bool>("stopServer");
    QTest::addColumn<QString>("deviceState");
    QTest::addColumn<QString>("status");
    QTest::addColumn<bool>("fieldsKept");
    QTest::addColumn<bool>("errorScrollsBehindBox");
    const QString registered = QStringLiteral("registered");
    for (bool stop : {false, true}) {
        const char* how = stop ? "server gone" : "HTTP 500";
        QTest::addRow("status, %s", how) << "stat" << stop << registered << kDots << true << false;
        // The registration's failure leaves the line as it was.
        QTest::addRow("registration, %s", how) << "reg" << stop << QString() << kSending << true << false;
        QTest::addRow("authentication, %s", how)
            << "auth" << stop << registered << QStringLiteral(" Please Login..!  ") + QChar(0x00BB) << true << true;
        QTest::addRow("sync, %s", how) << "sync" << stop << registered << pleaseLogin() << false << true;
    }
}

void TestLogin::networkFailure()
{
    QFETCH(QString, servlet);
    QFETCH(bool, stopServer);
    QFETCH(QString, deviceState);
    QFETCH(QString, status);
    QFETCH(bool, fieldsKept);
    QFETCH(bool, errorScrollsBehindBox);
    const QJsonObject reply =
        stopServer ? QJsonObject{{QStringLiteral("delayMs"), 20000}} : QJsonObject{{QStringLiteral("httpStatus"), 500}};
    QVERIFY(startServer(deviceState, forced(servlet, reply)));
    QString statusBehindBox;
    fixture_->boxes.whileOpen = [&](const MessageBox::Request&) {
        statusBehindBox = fixture_->controller->statusText();
    };
    typeCredentials(kUser, kPassword);
    QTest::mouseClick(widget<QPushButton>("pBLogin"), Qt::LeftButton);
    if (stopServer) {
        // The request has arrived and is held back: the server goes away under it.
        QTRY_VERIFY_WITH_TIMEOUT(servlets(*server_).contains(servlet), 20000);
        if (servlet == QLatin1String("sync")) {
            // Signed in, resources awaited: the fields are empty and the line stands still.
            QCOMPARE(window()->marquee()->scrollCounter(), 0);
            QVERIFY(!window()->marquee()->isTimerOn());
            QCOMPARE(fixture_->controller->statusText(), QStringLiteral("  Response Received...!"));
            QCOMPARE(widget<QLineEdit>("leUserName")->text(), QString());
            QVERIFY(!widget<QPushButton>("pBLogin")->isEnabled());
        }
        server_->stop();
    }
    QTRY_VERIFY_WITH_TIMEOUT(!window()->chainInFlight(), 30000);

    QCOMPARE(fixture_->boxes.texts(), QStringList{SharedText::get().msgServerUnreachable});
    QCOMPARE(fixture_->boxes.boxes.at(0).icon, QMessageBox::Critical);
    QCOMPARE(fixture_->boxes.boxes.at(0).parent, window());
    QCOMPARE(servlets(*server_).last(), servlet);
    QCOMPARE(fixture_->controller->statusText(), status);
    if (errorScrollsBehindBox) {
        QVERIFY2(statusBehindBox.startsWith(QStringLiteral("  ")) && statusBehindBox.trimmed().size() > 0,
                 qPrintable(statusBehindBox));
    }
    QCOMPARE(widget<QLineEdit>("leUserName")->text(), fieldsKept ? kUser : QString());
    QCOMPARE(widget<QLineEdit>("lePassword")->text(), fieldsKept ? kPassword : QString());
    QVERIFY(widget<QLineEdit>("leUserName")->isEnabled());
    QVERIFY(widget<QLineEdit>("lePassword")->isEnabled());
    QVERIFY(widget<QPushButton>("pBLogin")->isEnabled());
    QVERIFY(!QFile::exists(fixture_->home.dataFile(QStringLiteral("res.dat"))));
    QVERIFY(!window()->isHidden());
}

void TestLogin::sslContextErrorOffersTheDownload()
{
    typeCredentials(kUser, kPassword);
    ReplyResult reply;
    reply.error = QNetworkReply::UnknownNetworkError;
    reply.errorText = QStringLiteral("Error creating SSL context ()");
    window()->AuthReadyToRead(reply);
    QCOMPARE(fixture_->boxes.boxes.size(), 1);
    const MessageBox::Request& box = fixture_->boxes.boxes.at(0);
    QCOMPARE(box.kind, MessageBox::Kind::About);
    QCOMPARE(box.parent, window());
    QCOMPARE(box.title, SharedText::get().appName);
    QVERIFY(box.text.startsWith(
        QStringLiteral("Your computer needs a component to be downloaded from Microsoft to securely communicate with "
                       "the Ostrel Managed Authentication Server. Please click here to <a href=\"https://")));
    QVERIFY(box.text.endsWith(QStringLiteral("\">download</a>. Once download is completed, please install downloaded "
                                             "the component and then restart Ostrel Token.")));
    QCOMPARE(fixture_->controller->statusText(), pleaseLogin());
    QVERIFY(widget<QPushButton>("pBLogin")->isEnabled());
}

void TestLogin::proxyModeGoesWithEveryRequest_data()
{
    QTest::addColumn<int>("proxyMode");
    QTest::addColumn<bool>("throughProxy");
    QTest::newRow("mode 1 through the configured proxy") << 1 << true;
    QTest::newRow("mode 0 direct") << 0 << false;
}

void TestLogin::proxyModeGoesWithEveryRequest()
{
    QFETCH(int, proxyMode);
    QFETCH(bool, throughProxy);
    TinyProxy proxy;
    QVERIFY(proxy.start());
    fixture_->controller->proxyMode = proxyMode;
    fixture_->controller->proxyHost = QStringLiteral("127.0.0.1");
    fixture_->controller->proxyPort = proxy.port();
    QVERIFY(startServer(QString(), {}));
    typeCredentials(kUser, kPassword);
    QVERIFY(signIn());
    QCOMPARE(servlets(*server_).size(), 4);
    QVERIFY(window()->isHidden());
    // One tunnel per request; the window and the transport each log the proxy once per request.
    const QString tunnel = QStringLiteral("CONNECT 127.0.0.1:%1").arg(server_->port());
    QCOMPARE(proxy.log().count(tunnel), throughProxy ? 4 : 0);
    QCOMPARE(logLines().filter(QStringLiteral("Proxy Configured:")).size(), throughProxy ? 8 : 0);
}

void TestLogin::oneChainAtATime()
{
    // The registration reply is held back; while it is awaited nothing starts a second sign-in.
    QVERIFY(startServer(QString(), forced(QStringLiteral("reg"), {{QStringLiteral("delayMs"), 1500}})));
    typeCredentials(kUser, kPassword);
    auto* login = widget<QPushButton>("pBLogin");
    QTest::mouseDClick(login, Qt::LeftButton);
    QTest::mouseClick(login, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(servlets(*server_).contains(QStringLiteral("reg")), 20000);
    QVERIFY(!login->isEnabled());
    window()->connectDTM();
    QTest::keyClick(widget<QLineEdit>("lePassword"), Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!window()->chainInFlight(), 30000);
    QCOMPARE(servlets(*server_), (QStringList{QStringLiteral("stat"), QStringLiteral("reg"), QStringLiteral("auth"),
                                              QStringLiteral("sync")}));
    QVERIFY(fixture_->boxes.boxes.isEmpty());
    QVERIFY(window()->isHidden());
    QVERIFY(login->isEnabled());
}

void TestLogin::firstSignInReachesTheTokenScreen()
{
    QVERIFY(server_->startWithFile(kDemoData));
    fixture_->useServer(*server_);
    fixture_->start();
    QVERIFY(!window()->isHidden());
    QVERIFY(fixture_->screens.tokenScreen->isHidden());

    auto* user = widget<QLineEdit>("leUserName");
    auto* password = widget<QLineEdit>("lePassword");
    QTest::keyClicks(user, kUser);
    QTest::keyClick(user, Qt::Key_Return);
    QCOMPARE(window()->focusWidget(), password);
    QTest::keyClicks(password, kPassword);
    QTest::keyClick(password, Qt::Key_Return);
    QVERIFY(window()->chainInFlight());
    QTRY_VERIFY_WITH_TIMEOUT(!window()->chainInFlight(), 30000);

    QCOMPARE(servlets(*server_), (QStringList{QStringLiteral("stat"), QStringLiteral("reg"), QStringLiteral("auth"),
                                              QStringLiteral("sync")}));
    QVERIFY(fixture_->boxes.boxes.isEmpty());
    Tokendetails* token = fixture_->screens.tokenScreen;
    QVERIFY(!window()->isVisible());
    QVERIFY(token->isVisible());
    QCOMPARE(token->secondsLeft(), 30);
    QVERIFY(countdownTimer(token)->isActive());
    QCOMPARE(countdownTimer(token)->interval(), 1000);
    QVERIFY(!window()->marquee()->isTicking());
    QCOMPARE(window()->marquee()->scrollCounter(), 0);
    QCOMPARE(password->text(), QString());
    QVERIFY(QFile::exists(fixture_->home.dataFile(QStringLiteral("login.dat"))));
    QVERIFY(QFile::exists(fixture_->home.dataFile(QStringLiteral("res.dat"))));
    QCOMPARE(resourceList().size(), 3);
    // The stored session is the one the server opened.
    const QJsonArray sessions = server_->data().value(QStringLiteral("sessions")).toArray();
    QCOMPARE(sessions.size(), 1);
    QCOMPARE(AuthTransaction().sessionId, sessions.at(0).toObject().value(QStringLiteral("id")).toString());

    auto* lcd = fixture_->controller->container()->findChild<QLCDNumber*>(QStringLiteral("lcdNumberToken"));
    QVERIFY(lcd);
    const QString shown = QStringLiteral("%1").arg(lcd->intValue(), 6, 10, QLatin1Char('0'));
    QProcess verify;
    verify.start(DevServer::executable(),
                 {QStringLiteral("verify"), QStringLiteral("--data"), kDemoData, QStringLiteral("--user"), kUser,
                  QStringLiteral("--resource"), resourceList().at(0).resourceName, QStringLiteral("--code"), shown});
    QVERIFY(verify.waitForFinished(30000));
    QCOMPARE(verify.exitCode(), 0);
}

void TestLogin::tokenScreenTakesTheFocus_data()
{
    QTest::addColumn<bool>("stored");
    QTest::newRow("at start with stored data") << true;
    QTest::newRow("after sign-in") << false;
}

void TestLogin::tokenScreenTakesTheFocus()
{
    QFETCH(bool, stored);
    BaseScreen* container = fixture_->controller->container();
    Tokendetails* token = fixture_->screens.tokenScreen;
    auto* user = widget<QLineEdit>("leUserName");
    if (stored) {
        // The login window is hidden before its late focus step runs: unless the token screen takes the focus,
        // the window has no focused widget and its Ctrl+C reaches no shortcut.
        fixture_->storeLogin({ResourceRecord{QStringLiteral("Mail"), kUser, QStringLiteral("Remote Access"),
                                             QStringLiteral("COPYKEY")}});
        fixture_->start();
        container->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(container));
    } else {
        QVERIFY(server_->startWithFile(kDemoData));
        fixture_->useServer(*server_);
        fixture_->start();
        container->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(container));
        // The user types into the login window; the sign-in hides it with its field focused.
        QTRY_COMPARE(QApplication::focusWidget(), user);
        typeCredentials(kUser, kPassword);
        QVERIFY(signIn());
        QVERIFY(fixture_->boxes.boxes.isEmpty());
    }
    QVERIFY(token->isVisible());
    QVERIFY(!user->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget*>(token));
    // No new code while the copy is compared.
    token->stopCountdown();

    // Ctrl+C as the keyboard sends it, to the window: it reaches the focused widget's copy shortcut, not a text
    // field the user cannot see.
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    QTest::keyClick(container->windowHandle(), Qt::Key_C, Qt::ControlModifier);
    auto* lcd = token->findChild<QLCDNumber*>(QStringLiteral("lcdNumberToken"));
    QVERIFY(lcd);
    QCOMPARE(clipboard->text(), QStringLiteral("%1").arg(lcd->intValue(), 6, 10, QLatin1Char('0')));
    clipboard->clear();
}

void TestLogin::resetLoginStatusReturnsToTheLoginWindow()
{
    fixture_->start();
    Tokendetails* token = fixture_->screens.tokenScreen;
    window()->hide();
    token->show();
    token->startCountdown();
    window()->marquee()->stop();
    fixture_->controller->setStatusText(QStringLiteral("anything"));

    fixture_->controller->resetLoginStatus();
    QVERIFY(window()->isVisible());
    QVERIFY(!token->isVisible());
    QVERIFY(!countdownTimer(token)->isActive());
    QCOMPARE(fixture_->controller->statusText(), QString(24, QLatin1Char(' ')) + pleaseLogin());
    QVERIFY(window()->marquee()->isTicking());
    QTRY_COMPARE(window()->focusWidget(), widget<QLineEdit>("leUserName"));
}

void TestLogin::closeAndSettingsButtons()
{
    fixture_->start();
    BaseScreen* container = fixture_->controller->container();
    QTest::mouseClick(widget<QPushButton>("pBExit"), Qt::LeftButton);
    QCOMPARE(fixture_->boxes.boxes.size(), 1);
    QCOMPARE(fixture_->boxes.boxes.at(0).kind, MessageBox::Kind::About);
    QCOMPARE(fixture_->boxes.boxes.at(0).text, SharedText::get().msgRunsInTray);
    QCOMPARE(fixture_->boxes.boxes.at(0).parent, window());
    QVERIFY(!container->isVisible());

    container->show();
    Tokendetails* token = fixture_->screens.tokenScreen;
    tickCountdownTo(token, 12);
    QTest::mouseClick(widget<QPushButton>("pBTProxy"), Qt::LeftButton);
    QCOMPARE(fixture_->controller->settingsCaller, QStringLiteral("Login"));
    QVERIFY(fixture_->screens.settingsWindow->isVisible());
    QVERIFY(!window()->isVisible());
    QVERIFY(!token->isVisible());
    QCOMPARE(token->secondsLeft(), 30);
    QCOMPARE(fixture_->controller->statusText(), pleaseLogin());
    QVERIFY(widget<QPushButton>("pBLogin")->isEnabled());
}

void TestLogin::settingsAreAskedFor()
{
    fixture_->start();
    // A window of its own, which no screen set connected: it asks for the settings and shows no other screen.
    MainWindow alone;
    alone.show();
    QSignalSpy asked(&alone, &MainWindow::settingsRequested);
    QTest::mouseClick(alone.findChild<QPushButton*>(QStringLiteral("pBTProxy")), Qt::LeftButton);
    QCOMPARE(asked.size(), 1);
    QCOMPARE(fixture_->controller->settingsCaller, QStringLiteral("Login"));
    QVERIFY(alone.isVisible());
    QVERIFY(!fixture_->screens.settingsWindow->isVisible());
    QVERIFY(window()->isVisible());
}

void TestLogin::setTagHiddenHidesTheTagAndFields()
{
    fixture_->start();
    const char* names[] = {"widgetLTag", "pBLogin", "leUserName", "lePassword"};
    window()->setTagHidden(true);
    for (const char* name : names) {
        QVERIFY2(window()->findChild<QWidget*>(QLatin1String(name))->isHidden(), name);
    }
    QVERIFY(!widget<QLabel>("lblStatus")->isHidden());
    window()->setTagHidden(false);
    for (const char* name : names) {
        QVERIFY2(window()->findChild<QWidget*>(QLatin1String(name))->isVisible(), name);
    }
}

QTEST_MAIN(TestLogin)
#include "tst_login.moc"
