#include "ui/token/Tokendetails.h"

#include "core/SharedText.h"
#include "protocol/TokenGenerator.h"
#include "storage/ResourceRecord.h"
#include "storage/ResourceStore.h"
#include "support/MockClock.h"
#include "support/PixelProbe.h"
#include "support/ScreenFixture.h"
#include "ui/common/StatusMarquee.h"
#include "ui/login/MainWindow.h"
#include "ui/settings/ProxySettings.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QLCDNumber>
#include <QLabel>
#include <QLayout>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTimer>

#include <memory>

// The token screen on its own: the code and the countdown, the expiry notices, navigation and the tag's labels,
// leaving for the other screens, and copying the code.
class TestTokendetails : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void constructedAsDrawn();
    void firstScreen_data();
    void firstScreen();
    void tagHides();
    void codeIsTheGeneratorsForTheSecond();
    void leadingZerosAreShown();
    void countdownCycleAcrossTwoRefreshes();
    void sentinels_data();
    void sentinels();
    void emptyKeyStillGivesACode();
    void navigation_data();
    void navigation();
    void selectionStaysInsideTheList();
    void labels_data();
    void labels();
    void outsideTextsArePlain_data();
    void outsideTextsArePlain();
    void logout_data();
    void logout();
    void closeHidesTheContainer();
    void settingsOpensForTheTokenScreen();
    void copy_data();
    void copy();
    void screenReaderSeesCodeAndSecondsLeft();
    void screenshots_data();
    void screenshots();

private:
    // Stores these resources as a previous sign-in would and starts as the program does.
    void startWith(const QList<ResourceRecord>& resources);
    Tokendetails* screen() const { return fixture_->screens.tokenScreen; }
    QPushButton* button(const char* name) const { return screen()->findChild<QPushButton*>(QLatin1String(name)); }
    QLCDNumber* lcd() const { return screen()->findChild<QLCDNumber*>(QStringLiteral("lcdNumberToken")); }
    QProgressBar* bar() const { return screen()->findChild<QProgressBar*>(QStringLiteral("progressBar")); }
    QLabel* label(const char* name) const { return screen()->findChild<QLabel*>(QLatin1String(name)); }
    QString state() const;

    std::unique_ptr<MockClock> clock_;
    std::unique_ptr<ScreenFixture> fixture_;
};

namespace {
const QDateTime kStart(QDate(2026, 12, 10), QTime(4, 44, 7), Qt::UTC);

ResourceRecord record(const QString& name, const QString& key, const QString& user = QStringLiteral("demo.user"),
                      const QString& group = QStringLiteral("Remote Access"))
{
    return ResourceRecord{name, user, group, key};
}

QList<ResourceRecord> records(int n)
{
    QList<ResourceRecord> list;
    for (int i = 0; i < n; ++i) {
        list.append(record(QStringLiteral("Resource %1").arg(i), QStringLiteral("KEY%1SECRET").arg(i)));
    }
    return list;
}

// What a tooltip shows, read as QToolTip reads it (markup when the text looks like markup), and whether it draws
// a picture.
QString shownToolTip(const QString& tip, bool* picture = nullptr)
{
    QTextDocument document;
    if (Qt::mightBeRichText(tip)) {
        document.setHtml(tip);
    } else {
        document.setPlainText(tip);
    }
    if (picture) {
        *picture = false;
        for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                *picture = *picture || it.fragment().charFormat().isImageFormat();
            }
        }
    }
    return document.toPlainText();
}

QString artefactDir()
{
    const QString dir = QStringLiteral(VELTRANE_BINARY_DIR "/artefacts");
    QDir().mkpath(dir);
    return dir;
}
} // namespace

void TestTokendetails::init()
{
    clock_ = std::make_unique<MockClock>(kStart);
    fixture_ = std::make_unique<ScreenFixture>();
}

void TestTokendetails::cleanup()
{
    fixture_.reset();
    clock_.reset();
    QGuiApplication::clipboard()->clear();
}

void TestTokendetails::startWith(const QList<ResourceRecord>& resources)
{
    fixture_->storeLogin(resources);
    fixture_->start();
}

QString TestTokendetails::state() const
{
    return QStringLiteral("%1 %2 %3")
        .arg(screen()->currentIndex())
        .arg(button("pBPrev")->isEnabled() ? QStringLiteral("prev") : QStringLiteral("-"))
        .arg(button("pBNext")->isEnabled() ? QStringLiteral("next") : QStringLiteral("-"));
}

void TestTokendetails::constructedAsDrawn()
{
    QCOMPARE(lcd()->intValue(), 458923);
    QCOMPARE(lcd()->digitCount(), 6);
    QVERIFY(label("lblStatus")->isHidden());
    QVERIFY(button("pBPrev")->isEnabled());
    QVERIFY(button("pBNext")->isEnabled());
    QCOMPARE(screen()->secondsLeft(), 30);
    QVERIFY(countdownTimer(screen())->isActive());
    QCOMPARE(countdownTimer(screen())->interval(), 1000);
    QCOMPARE(screen()->currentIndex(), -1);

    QCOMPARE(screen()->findChild<QWidget*>(QStringLiteral("widgetToken"))->geometry(), QRect(0, 0, 275, 139));
    QCOMPARE(screen()->findChild<QWidget*>(QStringLiteral("widgetLTag"))->geometry(), QRect(244, 10, 251, 117));
    QCOMPARE(lcd()->geometry(), QRect(92, 37, 131, 26));
    QCOMPARE(label("lblStatus")->geometry(), QRect(100, 33, 103, 31));
    QCOMPARE(bar()->parentWidget()->objectName(), QStringLiteral("framePbar"));
    QCOMPARE(bar()->orientation(), Qt::Vertical);
    QCOMPARE(bar()->minimum(), 0);
    QCOMPARE(bar()->maximum(), 29);
    QVERIFY(!bar()->isTextVisible());
    // The bar draws with a style object of its own, not the application's.
    QVERIFY(bar()->style() != QApplication::style());
    auto* ownStyle = screen()->findChild<QStyle*>(QString(), Qt::FindDirectChildrenOnly);
    QVERIFY(ownStyle);
    QCOMPARE(ownStyle->metaObject()->className(), "QFusionStyle");
    for (const char* name : {"pBTProxy", "pBSync", "pBLogout", "pBNext", "pBPrev", "pBExit"}) {
        QVERIFY2(button(name)->isFlat(), name);
        QCOMPARE(button(name)->focusPolicy(), Qt::NoFocus);
    }
    QCOMPARE(button("pBSync")->toolTip(), QStringLiteral("Sync Token (F5)"));
    QCOMPARE(label("lblResource")->font().bold(), true);
}

void TestTokendetails::firstScreen_data()
{
    QTest::addColumn<bool>("stored");
    QTest::addColumn<int>("resources");
    QTest::addColumn<bool>("tokenShown");
    QTest::addColumn<bool>("timerRuns");
    QTest::addColumn<QStringList>("boxes");
    QTest::newRow("stored login with resources") << true << 2 << true << true << QStringList();
    QTest::newRow("stored login without resources")
        << true << 0 << false << false << QStringList{SharedText::get().msgDataCorrupted};
    QTest::newRow("no stored login") << false << 0 << false << false << QStringList();
}

void TestTokendetails::firstScreen()
{
    QFETCH(bool, stored);
    QFETCH(int, resources);
    QFETCH(bool, tokenShown);
    QFETCH(bool, timerRuns);
    QFETCH(QStringList, boxes);
    if (stored) {
        fixture_->storeLogin(records(resources));
    }
    fixture_->start();
    QCOMPARE(screen()->isVisible(), tokenShown);
    QCOMPARE(fixture_->screens.loginWindow->isVisible(), !tokenShown);
    QCOMPARE(countdownTimer(screen())->isActive(), timerRuns);
    QCOMPARE(fixture_->boxes.texts(), boxes);
    QCOMPARE(screen()->currentIndex(), tokenShown ? 0 : -1);
    if (tokenShown) {
        QVERIFY(!fixture_->screens.settingsWindow->isVisible());
        QCOMPARE(label("lblResource")->text(), QStringLiteral("Resource 0"));
        QVERIFY(!button("pBPrev")->isEnabled());
        QVERIFY(button("pBNext")->isEnabled());
    }
}

void TestTokendetails::tagHides()
{
    startWith(records(1));
    const QList<QWidget*> tag = {screen()->findChild<QWidget*>(QStringLiteral("widgetLTag")), label("lblResource"),
                                 label("lbltokenUser"), label("lblgroup")};
    screen()->setTagHidden(true);
    for (QWidget* widget : tag) {
        QVERIFY2(widget->isHidden(), qPrintable(widget->objectName()));
    }
    QVERIFY(lcd()->isVisible());
    screen()->setTagHidden(false);
    for (QWidget* widget : tag) {
        QVERIFY2(widget->isVisible(), qPrintable(widget->objectName()));
    }
}

void TestTokendetails::codeIsTheGeneratorsForTheSecond()
{
    const QString key = QStringLiteral("P5W8TESTKEY");
    startWith({record(QStringLiteral("Mail Gateway"), key)});
    QVERIFY(screen()->isVisible());
    QVERIFY(countdownTimer(screen())->isActive());
    const QString expected = TokenGenerator(key).generateAt(kStart.toSecsSinceEpoch());
    QCOMPARE(screen()->displayedCode(), expected);
    QCOMPARE(lcd()->intValue(), expected.toInt());
    QVERIFY(lcd()->isVisible());
    QVERIFY(bar()->isVisible());
    QVERIFY(!label("lblStatus")->isVisible());

    // Selecting the same resource a second later computes that second's code.
    clock_->advanceSeconds(1);
    screen()->showCurrentResource();
    QCOMPARE(screen()->displayedCode(), TokenGenerator(key).generateAt(kStart.toSecsSinceEpoch() + 1));
}

void TestTokendetails::leadingZerosAreShown()
{
    const QString key = QStringLiteral("ZEROKEY");
    qint64 second = kStart.toSecsSinceEpoch();
    while (!TokenGenerator(key).generateAt(second).startsWith(QLatin1Char('0'))) {
        ++second;
    }
    clock_->set(QDateTime::fromSecsSinceEpoch(second, Qt::UTC));
    startWith({record(QStringLiteral("Zero"), key)});
    const QString code = screen()->displayedCode();
    QVERIFY2(code.startsWith(QLatin1Char('0')) && code.size() == 6, qPrintable(code));
    QCOMPARE(code, TokenGenerator(key).generateAt(second));

    // Drawn as six digits: the number alone would leave the first position blank.
    const QImage asText = lcd()->grab().toImage();
    lcd()->display(code.toInt());
    const QImage asNumber = lcd()->grab().toImage();
    lcd()->display(code);
    QVERIFY(asText != asNumber);
    QCOMPARE(lcd()->grab().toImage(), asText);
}

void TestTokendetails::countdownCycleAcrossTwoRefreshes()
{
    const QString key = QStringLiteral("CYCLEKEY");
    startWith({record(QStringLiteral("Cycle"), key)});
    screen()->stopCountdown(); // the test ticks by hand
    screen()->resetCountdown();
    const qint64 t0 = kStart.toSecsSinceEpoch();
    const QString firstCode = screen()->displayedCode();
    QList<int> bars;
    for (int tick = 1; tick <= 61; ++tick) {
        clock_->advanceSeconds(1);
        screen()->updateProgressBar();
        bars.append(bar()->value());
        if (tick % 30 == 0) {
            QCOMPARE(screen()->secondsLeft(), 30);
            QCOMPARE(screen()->displayedCode(), TokenGenerator(key).generateAt(t0 + tick));
        } else if (tick < 30) {
            QCOMPARE(screen()->displayedCode(), firstCode);
        }
    }
    QList<int> expected;
    for (int cycle = 0; cycle < 2; ++cycle) {
        for (int value = 29; value >= 1; --value) {
            expected.append(value);
        }
        expected.append(1); // the refresh tick: 30 is outside the bar's range
    }
    expected.append(29);
    QCOMPARE(bars, expected);
    QVERIFY(screen()->displayedCode() != firstCode);

    // A reset goes back to a full period: the next refresh comes 30 ticks later.
    screen()->resetCountdown();
    QCOMPARE(screen()->secondsLeft(), 30);
    screen()->updateProgressBar();
    QCOMPARE(screen()->secondsLeft(), 29);
}

void TestTokendetails::sentinels_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("text");
    QTest::newRow("-1 token expired") << QStringLiteral("-1") << QStringLiteral("Token Expired......Token Expired... ");
    QTest::newRow("-2 registration expired") << QStringLiteral("-2") << QStringLiteral("Registration Expired....");
}

void TestTokendetails::sentinels()
{
    QFETCH(QString, key);
    QFETCH(QString, text);
    startWith({record(QStringLiteral("Expired"), key), record(QStringLiteral("Valid"), QStringLiteral("GOODKEY"))});
    QVERIFY(!lcd()->isVisible());
    QVERIFY(!bar()->isVisible());
    QVERIFY(label("lblStatus")->isVisible());
    QCOMPARE(fixture_->controller->statusText(), text);
    QCOMPARE(screen()->marquee()->scrollCounter(), 1);
    QVERIFY(screen()->marquee()->isTicking());
    QCOMPARE(screen()->displayedCode(), QString());
    screen()->updateStatusMessage();
    QCOMPARE(label("lblStatus")->text(), text.mid(1) + text.left(1));

    // The countdown's refresh shows the notice again, never a code.
    tickCountdownTo(screen(), 1);
    screen()->updateProgressBar();
    QVERIFY(!lcd()->isVisible());

    QTest::mouseClick(button("pBNext"), Qt::LeftButton);
    QVERIFY(lcd()->isVisible());
    QVERIFY(!label("lblStatus")->isVisible());
    QCOMPARE(screen()->displayedCode(),
             TokenGenerator(QStringLiteral("GOODKEY")).generateAt(kStart.toSecsSinceEpoch()));
}

void TestTokendetails::emptyKeyStillGivesACode()
{
    screen()->showTokenKey(QString());
    QCOMPARE(screen()->displayedCode(), TokenGenerator(QString()).generateAt(kStart.toSecsSinceEpoch()));
    QVERIFY(!lcd()->isHidden());
    QVERIFY(label("lblStatus")->isHidden());
}

void TestTokendetails::navigation_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QStringList>("steps");
    // After each step: selected index, then whether Prev and Next are enabled.
    QTest::addColumn<QStringList>("states");
    const QStringList all = {QStringLiteral("first"), QStringLiteral("current"), QStringLiteral("next"),
                             QStringLiteral("prev")};
    QTest::newRow("no records: nothing changes") << 0 << all << QStringList(4, QStringLiteral("-1 prev next"));
    QTest::newRow("one record, first") << 1 << QStringList{QStringLiteral("first")} << QStringList{"0 - -"};
    QTest::newRow("one record, current") << 1 << QStringList{QStringLiteral("current")} << QStringList{"0 - -"};
    QTest::newRow("three records: next, next, prev, prev")
        << 3 << QStringList{"first", "next", "next", "prev", "prev"}
        << QStringList{"0 - next", "1 prev next", "2 prev -", "1 prev next", "0 - next"};
    QTest::newRow("three records: next at the end stays")
        << 3 << QStringList{"current", "next", "next", "next"}
        << QStringList{"0 - next", "1 prev next", "2 prev -", "2 prev -"};
    QTest::newRow("three records: prev at the start stays")
        << 3 << QStringList{"first", "prev", "current"} << QStringList{"0 - next", "0 - next", "0 - next"};
}

void TestTokendetails::navigation()
{
    QFETCH(int, count);
    QFETCH(QStringList, steps);
    QFETCH(QStringList, states);
    const QList<ResourceRecord> list = records(count);
    resourceList() = list;
    for (int i = 0; i < steps.size(); ++i) {
        const QString& step = steps.at(i);
        if (step == QLatin1String("first")) {
            screen()->showResource(0);
        } else if (step == QLatin1String("current")) {
            screen()->showCurrentResource();
        } else if (step == QLatin1String("next")) {
            screen()->showResource(1);
        } else {
            screen()->showResource(-1);
        }
        QCOMPARE(state(), states.at(i));
        const int index = screen()->currentIndex();
        if (index >= 0) {
            QCOMPARE(label("lblResource")->text(), list.at(index).resourceName);
            QCOMPARE(screen()->currentKey(), list.at(index).tokenKey);
            QCOMPARE(screen()->displayedCode(),
                     TokenGenerator(list.at(index).tokenKey).generateAt(kStart.toSecsSinceEpoch()));
        } else {
            QCOMPARE(label("lblResource")->text(), QString());
            QCOMPARE(lcd()->intValue(), 458923);
        }
    }
}

void TestTokendetails::selectionStaysInsideTheList()
{
    resourceList() = records(3);
    screen()->showResource(0);
    screen()->showResource(1);
    screen()->showResource(1);
    QCOMPARE(screen()->currentIndex(), 2);

    // A new list of one record: the selection moves inside it.
    resourceList() = {record(QStringLiteral("Only"), QStringLiteral("ONLYKEY"))};
    screen()->showCurrentResource();
    QCOMPARE(state(), QStringLiteral("0 - -"));
    QCOMPARE(label("lblResource")->text(), QStringLiteral("Only"));
    resourceList() = records(3);
    screen()->showResource(1);
    screen()->showResource(1);
    resourceList() = {record(QStringLiteral("Only"), QStringLiteral("ONLYKEY"))};
    screen()->showResource(-1);
    QCOMPARE(screen()->currentIndex(), 0);
    QCOMPARE(screen()->currentKey(), QStringLiteral("ONLYKEY"));

    // A list that arrives empty leaves nothing selected, and the countdown shows no code of the resource that went.
    screen()->showStatusView();
    resourceList().clear();
    screen()->showResource(0);
    QCOMPARE(state(), QStringLiteral("-1 - -"));
    QCOMPARE(screen()->currentKey(), QString());
    QCOMPARE(label("lblResource")->text(), QString());
    QCOMPARE(label("lbltokenUser")->toolTip(), QString());
    tickCountdownTo(screen(), 1);
    screen()->updateProgressBar();
    QVERIFY(lcd()->isHidden());
    QCOMPARE(screen()->displayedCode(), QString());
}

void TestTokendetails::labels_data()
{
    QTest::addColumn<QString>("full");
    QTest::addColumn<QString>("resourceShown");
    QTest::addColumn<QString>("userShown");
    QTest::newRow("15 characters whole") << QStringLiteral("ABCDEFGHIJKLMNO") << QStringLiteral("ABCDEFGHIJKLMNO")
                                         << QStringLiteral("ABCDEFGHIJKLMNO");
    QTest::newRow("16 characters cut to 10")
        << QStringLiteral("ABCDEFGHIJKLMNOP") << QStringLiteral("ABCDEFGHIJ...") << QStringLiteral("ABCDEFGHIJ...");
    QTest::newRow("5 characters whole") << QStringLiteral("alice") << QStringLiteral("alice")
                                        << QStringLiteral("alice");
    QTest::newRow("short name with @ is abbreviated")
        << QStringLiteral("abc@xyz") << QStringLiteral("abc@xyz") << QStringLiteral("abc@..@xyz..");
    QTest::newRow("long name with @") << QStringLiteral("john.smith@example.com") << QStringLiteral("john.smith...")
                                      << QStringLiteral("john..@example..");
}

void TestTokendetails::labels()
{
    QFETCH(QString, full);
    QFETCH(QString, resourceShown);
    QFETCH(QString, userShown);
    resourceList() = {record(full, QStringLiteral("K"), full, full)};
    screen()->showResource(0);
    QCOMPARE(label("lblResource")->text(), resourceShown);
    QCOMPARE(label("lblgroup")->text(), resourceShown);
    QCOMPARE(label("lbltokenUser")->text(), userShown);
    QCOMPARE(screen()->currentUser(), full);
    for (const char* name : {"lblResource", "lblgroup", "lbltokenUser"}) {
        QCOMPARE(shownToolTip(label(name)->toolTip()), full);
    }
}

void TestTokendetails::outsideTextsArePlain_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown");
    QTest::newRow("underline tags") << QStringLiteral("<u>Pay</u>") << QStringLiteral("<u>Pay</u>");
    QTest::newRow("a local picture") << QStringLiteral("<img src=\"%1\">") << QStringLiteral("<img src=\"...");
    QTest::newRow("an entity") << QStringLiteral("&lt;b&gt;") << QStringLiteral("&lt;b&gt;");
    QTest::newRow("red text") << QStringLiteral("<font color=red>Account locked</font>")
                              << QStringLiteral("<font colo...");
}

void TestTokendetails::outsideTextsArePlain()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    // Names come from the server (and from res.dat): what they say is shown, never what markup would make of it.
    QTemporaryDir dir;
    const QString picture = dir.filePath(QStringLiteral("planted.png"));
    QImage planted(40, 40, QImage::Format_RGB32);
    planted.fill(Qt::red);
    QVERIFY(planted.save(picture));
    if (text.contains(QLatin1String("%1"))) {
        text = text.arg(picture);
    }
    resourceList() = {record(text, QStringLiteral("K"), text, text)};
    screen()->showResource(0);
    for (const char* name : {"lblResource", "lblgroup", "lbltokenUser"}) {
        QLabel* tag = label(name);
        QCOMPARE(tag->textFormat(), Qt::PlainText);
        QCOMPARE(tag->text(), shown);
        // As wide as the characters themselves: markup would be drawn narrower, as "Pay" alone.
        QVERIFY(tag->sizeHint().width() >= QFontMetrics(tag->font()).horizontalAdvance(shown));
        bool drawsPicture = true;
        QCOMPARE(shownToolTip(tag->toolTip(), &drawsPicture), text);
        QVERIFY(!drawsPicture);
    }
    // The status line carries reply error texts, whose wording the server can choose.
    QCOMPARE(label("lblStatus")->textFormat(), Qt::PlainText);
    QCOMPARE(fixture_->screens.loginWindow->findChild<QLabel*>(QStringLiteral("lblStatus"))->textFormat(),
             Qt::PlainText);
}

void TestTokendetails::logout_data()
{
    QTest::addColumn<bool>("yes");
    QTest::newRow("No keeps the token screen") << false;
    QTest::newRow("Yes goes to the login window") << true;
}

void TestTokendetails::logout()
{
    QFETCH(bool, yes);
    startWith(records(2));
    const QString storedLogin = fixture_->home.dataFile(QStringLiteral("login.dat"));
    if (yes) {
        fixture_->boxes.answerNext(QMessageBox::Yes);
    }
    screen()->marquee()->showMessage(QStringLiteral("  Token Expired......Token Expired... "));
    QTest::mouseClick(button("pBLogout"), Qt::LeftButton);
    QCOMPARE(fixture_->boxes.boxes.size(), 1);
    const MessageBox::Request& box = fixture_->boxes.boxes.first();
    QCOMPARE(box.kind, MessageBox::Kind::Question);
    QCOMPARE(box.text, QStringLiteral("Do you want to logout  Veltrane?"));
    QCOMPARE(box.parent, screen());
    QCOMPARE(screen()->isVisible(), !yes);
    QCOMPARE(countdownTimer(screen())->isActive(), !yes);
    MainWindow* login = fixture_->screens.loginWindow;
    QCOMPARE(login->isVisible(), yes);
    if (yes) {
        const QString prompt = QString(24, QLatin1Char(' ')) + QStringLiteral("  Please Login..!  ") + QChar(0x00BB);
        QCOMPARE(fixture_->controller->statusText(), prompt);
        QCOMPARE(prompt.size(), 44);
        QCOMPARE(login->marquee()->scrollCounter(), 1);
        QVERIFY(login->marquee()->isTicking());
        QVERIFY(!screen()->marquee()->isTicking());
        // A screen reader hears the prompt as soon as the login window is back, not the token screen's last line.
        QCOMPARE(login->findChild<QLabel*>(QStringLiteral("lblStatus"))->accessibleName(),
                 QStringLiteral("Please Login..!  ") + QChar(0x00BB));
    }
    // Logging out keeps the stored login.
    QVERIFY(QFile::exists(storedLogin));
    QVERIFY(QFile::exists(fixture_->store->path()));
}

void TestTokendetails::closeHidesTheContainer()
{
    startWith(records(1));
    BaseScreen* container = fixture_->controller->container();
    bool visibleBehindBox = false;
    fixture_->boxes.whileOpen = [&](const MessageBox::Request&) { visibleBehindBox = container->isVisible(); };
    QTest::mouseClick(button("pBExit"), Qt::LeftButton);
    QCOMPARE(fixture_->boxes.boxes.size(), 1);
    const MessageBox::Request& box = fixture_->boxes.boxes.first();
    QCOMPARE(box.kind, MessageBox::Kind::About);
    QCOMPARE(box.title, QStringLiteral("Veltrane Auth"));
    QCOMPARE(box.text, QStringLiteral("Veltrane will continue to run in the system tray."));
    QCOMPARE(box.parent, screen());
    QVERIFY(visibleBehindBox);
    QVERIFY(!container->isVisible());
}

void TestTokendetails::settingsOpensForTheTokenScreen()
{
    startWith(records(1));
    QTest::mouseClick(button("pBTProxy"), Qt::LeftButton);
    QCOMPARE(fixture_->controller->settingsCaller, QStringLiteral("Token"));
    QVERIFY(fixture_->screens.settingsWindow->isVisible());
    QVERIFY(!screen()->isVisible());
    QVERIFY(fixture_->boxes.boxes.isEmpty());
}

void TestTokendetails::copy_data()
{
    QTest::addColumn<bool>("byClick");
    QTest::addColumn<bool>("replaced");
    QTest::newRow("Ctrl+C, cleared after 30 s") << false << false;
    QTest::newRow("click on the code, cleared after 30 s") << true << false;
    QTest::newRow("a later copy of the user's stays") << false << true;
}

void TestTokendetails::copy()
{
    QFETCH(bool, byClick);
    QFETCH(bool, replaced);
    startWith({record(QStringLiteral("Mail"), QStringLiteral("COPYKEY"))});
    BaseScreen* container = fixture_->controller->container();
    container->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(container));
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("before"));
    const QString code = TokenGenerator(QStringLiteral("COPYKEY")).generateAt(kStart.toSecsSinceEpoch());

    if (byClick) {
        QTest::mouseClick(lcd(), Qt::LeftButton);
    } else {
        QTest::keyClick(container, Qt::Key_C, Qt::ControlModifier);
    }
    QCOMPARE(clipboard->text(), code);
    auto* timer = screen()->findChild<QTimer*>(QStringLiteral("clipboardTimer"));
    QVERIFY(timer);
    QVERIFY(timer->isActive());
    QCOMPARE(timer->interval(), 30000);
    QVERIFY(timer->isSingleShot());

    if (replaced) {
        clipboard->setText(QStringLiteral("the user's own text"));
    }
    // Thirty seconds on, without waiting them.
    QVERIFY(QMetaObject::invokeMethod(timer, "timeout"));
    QCOMPARE(clipboard->text(), replaced ? QStringLiteral("the user's own text") : QString());
    QVERIFY(fixture_->boxes.boxes.isEmpty());
    // Nothing about the code reaches the activity log.
    QFile log(fixture_->home.dataFile(QStringLiteral("log.dat")));
    if (log.open(QIODevice::ReadOnly)) {
        QVERIFY(!log.readAll().contains(code.toLatin1()));
    }

    // An expiry notice is never copied.
    clipboard->setText(QStringLiteral("kept"));
    screen()->showTokenKey(QStringLiteral("-1"));
    QTest::keyClick(container, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(clipboard->text(), QStringLiteral("kept"));
}

void TestTokendetails::screenReaderSeesCodeAndSecondsLeft()
{
    const QString key = QStringLiteral("READERKEY");
    startWith({record(QStringLiteral("Reader"), key)});
    screen()->stopCountdown();
    QAccessibleInterface* code = QAccessible::queryAccessibleInterface(lcd());
    QVERIFY(code);
    QCOMPARE(code->text(QAccessible::Name),
             QStringLiteral("Token code ") + TokenGenerator(key).generateAt(kStart.toSecsSinceEpoch()));
    QCOMPARE(code->text(QAccessible::Value), TokenGenerator(key).generateAt(kStart.toSecsSinceEpoch()));

    QAccessibleInterface* countdown = QAccessible::queryAccessibleInterface(bar());
    QVERIFY(countdown);
    QCOMPARE(countdown->text(QAccessible::Name), QStringLiteral("Seconds left"));
    QVERIFY(countdown->valueInterface());
    tickCountdownTo(screen(), 2);
    screen()->updateProgressBar();
    QCOMPARE(countdown->valueInterface()->currentValue().toInt(), 1);
    QCOMPARE(countdown->text(QAccessible::Value), QStringLiteral("1"));
    clock_->advanceSeconds(1);
    screen()->updateProgressBar();
    QCOMPARE(countdown->valueInterface()->currentValue().toInt(), 30);
    QCOMPARE(code->text(QAccessible::Value), TokenGenerator(key).generateAt(kStart.toSecsSinceEpoch() + 1));

    screen()->showTokenKey(QStringLiteral("-2"));
    QCOMPARE(code->text(QAccessible::Value), QString());
}

void TestTokendetails::screenshots_data()
{
    QTest::addColumn<QString>("key");
    // The code the display shows at the fixture's second, or empty for a notice.
    QTest::addColumn<QString>("code");
    QTest::newRow("key") << QStringLiteral("P5W8TESTKEY") << QStringLiteral("469097");
    QTest::newRow("expired token") << QStringLiteral("-1") << QString();
    QTest::newRow("expired registration") << QStringLiteral("-2") << QString();
}

void TestTokendetails::screenshots()
{
    QFETCH(QString, key);
    startWith({record(QStringLiteral("Mail Gateway"), key, QStringLiteral("demo.user@example.com")),
               record(QStringLiteral("VPN"), QStringLiteral("K2"))});
    // A few marquee ticks so the notice shows its text.
    for (int i = 0; i < 3; ++i) {
        screen()->updateStatusMessage();
    }
    fixture_->controller->container()->layout()->activate();
    const QImage shot = fixture_->controller->container()->grab().toImage();
    QVERIFY(!shot.isNull());
    const QString name = QStringLiteral("/token-offscreen-%1.png")
                             .arg(QString::fromLatin1(QTest::currentDataTag()).replace(QLatin1Char(' '), '-'));
    QVERIFY(shot.save(artefactDir() + name));

    // The panel's and the tag's pictures, the tag's band and the resource's icon.
    QList<PixelProbe> probes = {
        {QStringLiteral("panel"), {120, 110}, QColor(24, 33, 51)},
        {QStringLiteral("tag"), {400, 42}, QColor(249, 251, 253)},
        {QStringLiteral("tag's band"), {320, 70}, QColor(52, 121, 208)},
        {QStringLiteral("resource icon"), {348, 35}, QColor(4, 76, 172)},
    };
    QFETCH(QString, code);
    if (!code.isEmpty()) {
        QCOMPARE(TokenGenerator(key).generateAt(kStart.toSecsSinceEpoch()), code);
        // The middle segment of each digit of 469097: lit for 4, 6, 9 and 9, dark for 0 and 7.
        const QColor lit(255, 255, 255);
        const QColor dark(18, 31, 48);
        probes += {
            {QStringLiteral("middle segment of 4"), {120, 50}, lit},
            {QStringLiteral("middle segment of 6"), {134, 50}, lit},
            {QStringLiteral("middle segment of 9"), {148, 50}, lit},
            {QStringLiteral("no middle segment in 0"), {162, 50}, dark},
            {QStringLiteral("middle segment of 9"), {176, 50}, lit},
            {QStringLiteral("no middle segment in 7"), {190, 50}, dark},
        };
    } else {
        // The notice scrolls in white characters across the display.
        QVERIFY2(hasWhitePixel(shot, QRect(104, 40, 96, 20)), qPrintable(artefactDir() + name));
    }
    const QString missed = missedProbes(shot, probes);
    QVERIFY2(missed.isEmpty(), qPrintable(artefactDir() + name + QLatin1Char('\n') + missed));
}

QTEST_MAIN(TestTokendetails)
#include "tst_tokendetails.moc"
