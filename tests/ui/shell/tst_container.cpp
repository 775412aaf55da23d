// The container's part of the preferences and of the presence, on the offscreen platform: tags hidden while the
// container is inactive, a screen's Close with and without a tray, and X11 chosen under a Wayland session.
#include "app/Startup.h"
#include "core/SharedText.h"
#include "support/ScreenFixture.h"
#include "ui/login/MainWindow.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/token/Tokendetails.h"

#include <QTest>

class TestContainer : public QObject {
    Q_OBJECT

private slots:
    void tagsHideWhileInactive_data();
    void tagsHideWhileInactive();
    void closeWithTrayHidesAfterTheBox();
    void closeWithoutTrayMinimises();
    void x11UnderWayland_data();
    void x11UnderWayland();
};

void TestContainer::tagsHideWhileInactive_data()
{
    QTest::addColumn<bool>("preference");
    QTest::newRow("Hide Information Tag on") << true;
    QTest::newRow("Hide Information Tag off") << false;
}

void TestContainer::tagsHideWhileInactive()
{
    QFETCH(bool, preference);
    ScreenFixture fixture;
    fixture.start();
    // The areas each screen hides: the tag and the login fields, the tag and the resource labels. A screen that
    // does not have them yet is left out.
    QList<QWidget*> tags;
    const auto collect = [&tags](QWidget* screen, std::initializer_list<const char*> names) {
        QList<QWidget*> found;
        for (const char* name : names) {
            found.append(screen->findChild<QWidget*>(QLatin1String(name)));
        }
        if (!found.contains(nullptr)) {
            tags += found;
        }
    };
    collect(fixture.screens.loginWindow, {"widgetLTag", "pBLogin", "leUserName", "lePassword"});
    collect(fixture.screens.tokenScreen, {"widgetLTag", "lblResource", "lbltokenUser", "lblgroup"});
    if (tags.isEmpty()) {
        QSKIP("neither screen has its tag area yet");
    }
    fixture.controller->hideInfoTag = preference;
    BaseScreen* container = fixture.controller->container();
    QWidget other;
    other.show();

    container->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(container));
    for (QWidget* tag : std::as_const(tags)) {
        QVERIFY2(!tag->isHidden(), qPrintable(tag->objectName()));
    }
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    for (QWidget* tag : std::as_const(tags)) {
        QCOMPARE(tag->isHidden(), preference);
    }
    container->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(container));
    for (QWidget* tag : std::as_const(tags)) {
        QVERIFY2(!tag->isHidden(), qPrintable(tag->objectName()));
    }
}

void TestContainer::closeWithTrayHidesAfterTheBox()
{
    ScreenFixture fixture;
    fixture.start();
    BaseScreen* container = fixture.controller->container();
    bool visibleBehindBox = false;
    fixture.boxes.whileOpen = [&](const MessageBox::Request&) { visibleBehindBox = container->isVisible(); };
    fixture.controller->closeToTray(fixture.screens.tokenScreen);
    QCOMPARE(fixture.boxes.boxes.size(), 1);
    const MessageBox::Request& box = fixture.boxes.boxes.first();
    QCOMPARE(box.kind, MessageBox::Kind::About);
    QCOMPARE(box.parent, static_cast<QWidget*>(fixture.screens.tokenScreen));
    QCOMPARE(box.title, SharedText::get().appName);
    QCOMPARE(box.text, SharedText::get().msgRunsInTray);
    QVERIFY(visibleBehindBox);
    QVERIFY(!container->isVisible());
}

void TestContainer::closeWithoutTrayMinimises()
{
    ScreenFixture fixture;
    fixture.start();
    fixture.controller->setHasTray(false);
    BaseScreen* container = fixture.controller->container();
    fixture.controller->closeToTray(fixture.screens.loginWindow);
    // No "runs in the tray" box where there is no tray, and the window stays reachable from the taskbar.
    QVERIFY(fixture.boxes.boxes.isEmpty());
    QVERIFY(container->isMinimized());
    QVERIFY(container->isVisible());

    // Any other way of hiding it (a screen's own Close button, the tray widget's) minimises it too.
    container->showNormal();
    QVERIFY(!container->isMinimized());
    container->hide();
    QVERIFY(container->isMinimized());
    QVERIFY(container->isVisible());
    // Always Top re-applies the window flags without minimising the window.
    container->showNormal();
    container->setAlwaysOnTop(true);
    QVERIFY(container->isVisible());
    QVERIFY(!container->isMinimized());
}

void TestContainer::x11UnderWayland_data()
{
    QTest::addColumn<QByteArray>("sessionType");
    QTest::addColumn<QByteArray>("waylandDisplay");
    QTest::addColumn<QByteArray>("platform"); // QT_QPA_PLATFORM before
    QTest::addColumn<QByteArray>("expected"); // and after
    QTest::newRow("Wayland session") << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray()
                                     << QByteArray("xcb;wayland");
    QTest::newRow("Wayland display only")
        << QByteArray() << QByteArray("wayland-1") << QByteArray() << QByteArray("xcb;wayland");
    QTest::newRow("platform chosen by the user")
        << QByteArray("wayland") << QByteArray("wayland-0") << QByteArray("wayland") << QByteArray("wayland");
    QTest::newRow("X11 session") << QByteArray("x11") << QByteArray() << QByteArray() << QByteArray();
}

void TestContainer::x11UnderWayland()
{
    QFETCH(QByteArray, sessionType);
    QFETCH(QByteArray, waylandDisplay);
    QFETCH(QByteArray, platform);
    QFETCH(QByteArray, expected);
    const QByteArray saved[] = {qgetenv("XDG_SESSION_TYPE"), qgetenv("WAYLAND_DISPLAY"), qgetenv("QT_QPA_PLATFORM")};
    const char* names[] = {"XDG_SESSION_TYPE", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"};
    const QByteArray values[] = {sessionType, waylandDisplay, platform};
    for (int i = 0; i < 3; ++i) {
        if (values[i].isEmpty()) {
            qunsetenv(names[i]);
        } else {
            qputenv(names[i], values[i]);
        }
    }
    const bool chose = preferX11Display();
    const QByteArray after = qgetenv("QT_QPA_PLATFORM");
    for (int i = 0; i < 3; ++i) {
        qputenv(names[i], saved[i]);
    }
    QCOMPARE(after, expected);
    QCOMPARE(chose, expected == "xcb;wayland");
}

QTEST_MAIN(TestContainer)
#include "tst_container.moc"
