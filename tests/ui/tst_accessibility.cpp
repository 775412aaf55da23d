// The screens for a keyboard alone and for a screen reader, on the offscreen platform: the window keys of each
// screen (through their buttons, so a disabled button's key does nothing), the accessible names, the code as text
// with its change events, the status line's name across marquee steps, the keyboard focus that never rests on a
// control out of sight, and the clipboard entry that keeps the code out of clipboard histories.
#include "protocol/TokenGenerator.h"
#include "storage/ResourceRecord.h"
#include "support/MockClock.h"
#include "support/ScreenFixture.h"
#include "ui/common/StatusMarquee.h"
#include "ui/login/MainWindow.h"
#include "ui/settings/ProxySettings.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/token/Tokendetails.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLCDNumber>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
const QDateTime kStart(QDate(2026, 12, 10), QTime(4, 44, 7), Qt::UTC);

QList<ResourceRecord> threeResources()
{
    return {ResourceRecord{QStringLiteral("Mail"), QStringLiteral("demo.user"), QStringLiteral("Office"),
                           QStringLiteral("KEYONE")},
            ResourceRecord{QStringLiteral("VPN"), QStringLiteral("demo.user"), QStringLiteral("Office"),
                           QStringLiteral("KEYTWO")},
            ResourceRecord{QStringLiteral("Wiki"), QStringLiteral("demo.user"), QStringLiteral("Office"),
                           QStringLiteral("KEYTHREE")}};
}

QString accessibleName(QWidget* widget)
{
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(QAccessible::Name) : QString();
}
} // namespace

class TestAccessibility : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tokenScreenKeys_data();
    void tokenScreenKeys();
    void loginWindowSettingsKey();
    void settingsWindowKeys_data();
    void settingsWindowKeys();
    void tooltipsNameTheKeys_data();
    void tooltipsNameTheKeys();
    void everyControlHasAName();
    void codeIsTextAndName();
    void statusLineNameStaysAcrossSteps();
    void noFocusOutOfSight();
    void failedSignInFocusesUserName();
    void copiedCodeIsMarkedSecret();

private:
    void startToken();
    void activate();
    template <typename T> T* find(QWidget* screen, const char* name) const
    {
        return screen->findChild<T*>(QLatin1String(name));
    }
    BaseScreen* container() const { return fixture_->controller->container(); }
    Tokendetails* token() const { return fixture_->screens.tokenScreen; }
    MainWindow* login() const { return fixture_->screens.loginWindow; }
    ProxySettings* settings() const { return fixture_->screens.settingsWindow; }

    std::unique_ptr<MockClock> clock_;
    std::unique_ptr<ScreenFixture> fixture_;
};

void TestAccessibility::init()
{
    clock_ = std::make_unique<MockClock>(kStart);
    fixture_ = std::make_unique<ScreenFixture>();
}

void TestAccessibility::cleanup()
{
    fixture_.reset();
    clock_.reset();
    QGuiApplication::clipboard()->clear();
}

void TestAccessibility::startToken()
{
    fixture_->storeLogin(threeResources());
    fixture_->start();
    activate();
}

void TestAccessibility::activate()
{
    // Window keys fire only in the active window.
    container()->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(container()));
}

void TestAccessibility::tokenScreenKeys_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<QString>("button");
    QTest::newRow("Right: Next") << int(Qt::Key_Right) << 0 << "pBNext";
    QTest::newRow("Page Down: Next") << int(Qt::Key_PageDown) << 0 << "pBNext";
    QTest::newRow("Left: Previous") << int(Qt::Key_Left) << 0 << "pBPrev";
    QTest::newRow("Page Up: Previous") << int(Qt::Key_PageUp) << 0 << "pBPrev";
    QTest::newRow("F5: Sync") << int(Qt::Key_F5) << 0 << "pBSync";
    QTest::newRow("Ctrl+,: Settings") << int(Qt::Key_Comma) << int(Qt::ControlModifier) << "pBTProxy";
}

void TestAccessibility::tokenScreenKeys()
{
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(QString, button);
    startToken();
    QVERIFY(token()->isVisible());
    // The middle resource: Previous and Next are both enabled.
    token()->showResource(1);
    auto* target = token()->findChild<QPushButton*>(button);
    QVERIFY(target);
    QCOMPARE(target->focusPolicy(), Qt::NoFocus);
    QSignalSpy clicks(target, &QPushButton::clicked);

    // A disabled button's key does nothing, as a click on it would not.
    target->setEnabled(false);
    QTest::keyClick(container(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(clicks.count(), 0);
    QCOMPARE(token()->currentIndex(), 1);

    target->setEnabled(true);
    // A sync would need a server: its click is counted, nothing is sent.
    if (button == QLatin1String("pBSync")) {
        QObject::disconnect(target, &QPushButton::clicked, token(), nullptr);
    }
    QTest::keyClick(container(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    QCOMPARE(clicks.count(), 1);
    if (button == QLatin1String("pBNext")) {
        QCOMPARE(token()->currentIndex(), 2);
    } else if (button == QLatin1String("pBPrev")) {
        QCOMPARE(token()->currentIndex(), 0);
    } else if (button == QLatin1String("pBTProxy")) {
        QVERIFY(settings()->isVisible());
        QVERIFY(token()->isHidden());
    }
}

void TestAccessibility::loginWindowSettingsKey()
{
    fixture_->start();
    activate();
    QVERIFY(login()->isVisible());
    // The token screen's keys belong to the token screen: hidden, it takes none.
    QTest::keyClick(container(), Qt::Key_F5);
    QVERIFY(login()->isVisible());
    QTRY_COMPARE(QApplication::focusWidget(), find<QWidget>(login(), "leUserName"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Comma, Qt::ControlModifier);
    QVERIFY(settings()->isVisible());
    QVERIFY(login()->isHidden());
    QCOMPARE(fixture_->controller->settingsCaller, QStringLiteral("Login"));
}

void TestAccessibility::settingsWindowKeys_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("saved");
    QTest::newRow("Escape in a check box: Cancel") << "chkAlways" << int(Qt::Key_Escape) << false;
    QTest::newRow("Return in a check box: Save & Close") << "chkAlways" << int(Qt::Key_Return) << true;
    QTest::newRow("Enter in the port field: Save & Close") << "lEProxyPort" << int(Qt::Key_Enter) << true;
    QTest::newRow("Escape in the host field: Cancel") << "lEProxyHost" << int(Qt::Key_Escape) << false;
}

void TestAccessibility::settingsWindowKeys()
{
    QFETCH(QString, field);
    QFETCH(int, key);
    QFETCH(bool, saved);
    startToken();
    QTest::keyClick(container(), Qt::Key_Comma, Qt::ControlModifier);
    QVERIFY(settings()->isVisible());
    auto* tabs = find<QTabWidget>(settings(), "tabWidget");
    // The first focus is the first control of the page shown (the form opens on the preferences).
    QCOMPARE(tabs->currentIndex(), 1);
    QTRY_COMPARE(QApplication::focusWidget(), find<QWidget>(settings(), "chkAlways"));
    // Ctrl+Tab goes to the other page, and its first control takes the focus.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 0);
    QCOMPARE(QApplication::focusWidget(), find<QWidget>(settings(), "chkBProxyEnabled"));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab, Qt::ControlModifier);
    QCOMPARE(tabs->currentIndex(), 1);

    auto* proxy = find<QCheckBox>(settings(), "chkBProxyEnabled");
    auto* always = find<QCheckBox>(settings(), "chkAlways");
    if (field.startsWith(QLatin1String("lE"))) {
        tabs->setCurrentIndex(0);
        proxy->click();
        find<QLineEdit>(settings(), "lEProxyHost")->setText(QStringLiteral("proxy.example"));
        find<QLineEdit>(settings(), "lEProxyPort")->setText(QStringLiteral("3128"));
    } else {
        always->setChecked(true);
    }
    QWidget* focus = settings()->findChild<QWidget*>(field);
    focus->setFocus();
    QTest::keyClick(focus, Qt::Key(key));

    QVERIFY(settings()->isHidden());
    QVERIFY(token()->isVisible());
    if (field.startsWith(QLatin1String("lE"))) {
        QCOMPARE(fixture_->controller->proxyMode, saved ? 1 : 0);
        QCOMPARE(fixture_->controller->proxyPort, saved ? 3128 : 0);
    } else {
        QCOMPARE(fixture_->controller->alwaysOnTop, saved);
    }
    QVERIFY(fixture_->boxes.boxes.isEmpty());

    // A disabled Save & Close takes no key either. (Saving "Always Top" shows the container anew.)
    activate();
    QTest::keyClick(container(), Qt::Key_Comma, Qt::ControlModifier);
    QVERIFY(settings()->isVisible());
    find<QPushButton>(settings(), "pBProxySave")->setEnabled(false);
    QTest::keyClick(container(), Qt::Key_Return);
    QVERIFY(settings()->isVisible());
}

void TestAccessibility::tooltipsNameTheKeys_data()
{
    QTest::addColumn<QString>("screen");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("toolTip");
    QTest::addColumn<QString>("name");
    QTest::newRow("token: previous") << "token"
                                     << "pBPrev"
                                     << "Previous Resource (Left)"
                                     << "Previous Resource";
    QTest::newRow("token: next") << "token"
                                 << "pBNext"
                                 << "Next Resource (Right)"
                                 << "Next Resource";
    QTest::newRow("token: sync") << "token"
                                 << "pBSync"
                                 << "Sync Token (F5)"
                                 << "Sync Token";
    QTest::newRow("token: settings") << "token"
                                     << "pBTProxy"
                                     << "Settings (Ctrl+,)"
                                     << "Settings";
    QTest::newRow("token: logout keeps its question, no key") << "token"
                                                              << "pBLogout"
                                                              << "Logout"
                                                              << "Logout";
    QTest::newRow("token: close") << "token"
                                  << "pBExit"
                                  << "Close"
                                  << "Close";
    QTest::newRow("login: settings") << "login"
                                     << "pBTProxy"
                                     << "Settings (Ctrl+,)"
                                     << "Settings";
    QTest::newRow("login: login") << "login"
                                  << "pBLogin"
                                  << "Login (Enter)"
                                  << "Login";
    QTest::newRow("login: close") << "login"
                                  << "pBExit"
                                  << "Close"
                                  << "Close";
    QTest::newRow("settings: save") << "settings"
                                    << "pBProxySave"
                                    << "Save & Close (Enter)"
                                    << "Save & Close";
    QTest::newRow("settings: cancel") << "settings"
                                      << "pBProxyCancel"
                                      << "Cancel (Esc)"
                                      << "Cancel";
}

void TestAccessibility::tooltipsNameTheKeys()
{
    QFETCH(QString, screen);
    QFETCH(QString, button);
    QFETCH(QString, toolTip);
    QFETCH(QString, name);
    QWidget* owner = screen == QLatin1String("token")   ? static_cast<QWidget*>(token())
                     : screen == QLatin1String("login") ? static_cast<QWidget*>(login())
                                                        : static_cast<QWidget*>(settings());
    auto* found = owner->findChild<QPushButton*>(button);
    QVERIFY(found);
    QCOMPARE(found->toolTip(), toolTip);
    QCOMPARE(accessibleName(found), name);
}

void TestAccessibility::everyControlHasAName()
{
    const QHash<QString, QString> expected{
        {QStringLiteral("leUserName"), QStringLiteral("Username")},
        {QStringLiteral("lePassword"), QStringLiteral("Password")},
        {QStringLiteral("lEProxyHost"), QStringLiteral("Proxy host")},
        {QStringLiteral("lEProxyPort"), QStringLiteral("Proxy port")},
        {QStringLiteral("lEProxyUsername"), QStringLiteral("Proxy user name")},
        {QStringLiteral("lEProxyPassword"), QStringLiteral("Proxy password")},
        {QStringLiteral("chkBProxyEnabled"), QStringLiteral("Enable connection via Proxy Server")},
        {QStringLiteral("chkAlways"), QStringLiteral("Always Top")},
        {QStringLiteral("chkActiveTag"), QStringLiteral("Hide Information Tag")},
        {QStringLiteral("tab"), QStringLiteral("Proxy Settings")},
        {QStringLiteral("tab_2"), QStringLiteral("Preference")},
    };
    for (const auto& [object, name] : expected.asKeyValueRange()) {
        auto* widget = container()->findChild<QWidget*>(object);
        QVERIFY2(widget, qPrintable(object));
        QCOMPARE(accessibleName(widget), name);
    }
    // Whatever a reader can meet on the three screens is named: every button, field and check box.
    for (QWidget* screen :
         {static_cast<QWidget*>(token()), static_cast<QWidget*>(login()), static_cast<QWidget*>(settings())}) {
        for (QWidget* widget : screen->findChildren<QWidget*>()) {
            const bool control = qobject_cast<QAbstractButton*>(widget) || qobject_cast<QLineEdit*>(widget);
            if (control) {
                QVERIFY2(!accessibleName(widget).isEmpty(), qPrintable(widget->objectName()));
            }
        }
    }
}

void TestAccessibility::codeIsTextAndName()
{
    // A key whose code at the start second begins with a zero, so that a number would lose it.
    QString key;
    for (int i = 0; key.isEmpty() && i < 1000; ++i) {
        const QString candidate = QStringLiteral("ZERO%1").arg(i);
        if (TokenGenerator(candidate).generateAt(kStart.toSecsSinceEpoch()).startsWith(QLatin1Char('0'))) {
            key = candidate;
        }
    }
    QVERIFY(!key.isEmpty());
    fixture_->storeLogin({ResourceRecord{QStringLiteral("Mail"), QStringLiteral("demo.user"), QStringLiteral("G"), key},
                          ResourceRecord{QStringLiteral("Old"), QStringLiteral("demo.user"), QStringLiteral("G"),
                                         QStringLiteral("-1")}});
    fixture_->start();
    token()->stopCountdown();
    auto* lcd = find<QLCDNumber>(token(), "lcdNumberToken");
    QAccessibleInterface* code = QAccessible::queryAccessibleInterface(lcd);
    QVERIFY(code);
    QVERIFY(code->textInterface());
    const QString first = TokenGenerator(key).generateAt(kStart.toSecsSinceEpoch());
    QCOMPARE(code->textInterface()->text(0, -1), first);
    QCOMPARE(code->textInterface()->characterCount(), 6);
    QCOMPARE(code->text(QAccessible::Name), QStringLiteral("Token code ") + first);

    // The next code. (The change events reach only a live accessibility bridge: the end-to-end test hears them.)
    clock_->advanceSeconds(30);
    tickCountdownTo(token(), 1);
    token()->updateProgressBar();
    const QString second = TokenGenerator(key).generateAt(kStart.toSecsSinceEpoch() + 30);
    QVERIFY(first != second);
    QCOMPARE(code->textInterface()->text(0, 6), second);
    QCOMPARE(code->text(QAccessible::Name), QStringLiteral("Token code ") + second);

    // An expired token: no digits anywhere; the status line says the notice's words.
    token()->showResource(1);
    QCOMPARE(code->textInterface()->characterCount(), 0);
    QCOMPARE(code->text(QAccessible::Name), QStringLiteral("Token code"));
    auto* status = find<QLabel>(token(), "lblStatus");
    QVERIFY(status->isVisible());
    QCOMPARE(accessibleName(status), QStringLiteral("Token Expired......Token Expired..."));
}

void TestAccessibility::statusLineNameStaysAcrossSteps()
{
    fixture_->start();
    auto* status = find<QLabel>(login(), "lblStatus");
    const QString prompt = QStringLiteral("Please Login..!  ") + QChar(0x00BB);
    QCOMPARE(accessibleName(status), prompt);
    QStringList shown;
    for (int i = 0; i < 40; ++i) {
        login()->updateStatusMessage();
        shown.append(status->text());
        QCOMPARE(accessibleName(status), prompt);
    }
    // The line moved; its name did not.
    shown.removeDuplicates();
    QVERIFY(shown.size() > 30);

    // A new message is one change, set through the marquee or written into the shared text.
    login()->marquee()->showMessage(QStringLiteral("  Please wait..  Sending Request...!"));
    QCOMPARE(accessibleName(status), QStringLiteral("Please wait..  Sending Request...!"));
    fixture_->controller->setStatusText(QStringLiteral("Try After Some time..."));
    login()->updateStatusMessage();
    login()->updateStatusMessage();
    QCOMPARE(accessibleName(status), QStringLiteral("Try After Some time..."));
}

void TestAccessibility::noFocusOutOfSight()
{
    fixture_->start();
    for (QWidget* screen :
         {static_cast<QWidget*>(token()), static_cast<QWidget*>(login()), static_cast<QWidget*>(settings())}) {
        // Each screen fills the container's 550 x 200 from its corner.
        const QRect visible(0, 0, 550, 200);
        for (QWidget* widget : screen->findChildren<QWidget*>()) {
            if (widget->focusPolicy() == Qt::NoFocus || !widget->isVisibleTo(screen)) {
                continue;
            }
            const QRect area(widget->mapTo(screen, QPoint(0, 0)), widget->size());
            QVERIFY2(visible.contains(area.center()), qPrintable(QStringLiteral("%1 at %2,%3 %4x%5 outside %6x%7")
                                                                     .arg(widget->objectName())
                                                                     .arg(area.x())
                                                                     .arg(area.y())
                                                                     .arg(area.width())
                                                                     .arg(area.height())
                                                                     .arg(visible.width())
                                                                     .arg(visible.height())));
        }
    }
    // Tab from the password field goes back to the user name, never into the text box below the window.
    activate();
    auto* user = find<QLineEdit>(login(), "leUserName");
    auto* password = find<QLineEdit>(login(), "lePassword");
    QTRY_COMPARE(QApplication::focusWidget(), user);
    QTest::keyClick(user, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), password);
    QTest::keyClick(password, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), user);
}

void TestAccessibility::failedSignInFocusesUserName()
{
    fixture_->start();
    activate();
    auto* user = find<QLineEdit>(login(), "leUserName");
    auto* password = find<QLineEdit>(login(), "lePassword");
    QTRY_COMPARE(QApplication::focusWidget(), user);
    // Too short a password: the fields are disabled for the check, the box is answered, the sign-in has failed.
    user->setText(QStringLiteral("demo.user"));
    password->setFocus();
    QTest::keyClicks(password, QStringLiteral("short"));
    QTest::keyClick(password, Qt::Key_Return);
    QCOMPARE(fixture_->boxes.boxes.size(), 1);
    QTRY_COMPARE(QApplication::focusWidget(), user);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("x"));
    QCOMPARE(user->text(), QStringLiteral("demo.userx"));
}

void TestAccessibility::copiedCodeIsMarkedSecret()
{
    startToken();
    QTest::keyClick(container(), Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data);
    const QString code = TokenGenerator(QStringLiteral("KEYONE")).generateAt(kStart.toSecsSinceEpoch());
    QCOMPARE(data->text(), code);
    QCOMPARE(data->data(QStringLiteral("x-kde-passwordManagerHint")), QByteArray("secret"));

    // At quit the code goes, unless the user copied something else since.
    QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QString());
    QTest::keyClick(container(), Qt::Key_C, Qt::ControlModifier);
    QGuiApplication::clipboard()->setText(QStringLiteral("the user's own"));
    QVERIFY(QMetaObject::invokeMethod(qApp, "aboutToQuit"));
    QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("the user's own"));
}

QTEST_MAIN(TestAccessibility)
#include "tst_accessibility.moc"
