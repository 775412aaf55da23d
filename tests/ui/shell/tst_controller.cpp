#include "ui/shell/AppController.h"
#include "ui/login/MainWindow.h"
#include "ui/shell/BaseScreen.h"
#include "ui/shell/MessageBox.h"

#include "support/TestHome.h"

#include <QMouseEvent>
#include <QProcess>
#include <QTest>

class TestController : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void addStatusIndent_data();
    void addStatusIndent();
    void resetLoginStatusFromAnyState();
    void showMessageKinds_data();
    void showMessageKinds();
    void accountNameMatchesSystem();

    void containerSizeFollowsPicture();
    void containerDrag_data();
    void containerDrag();

private:
    std::unique_ptr<TestHome> home_;
    std::unique_ptr<AppController> controller_;
    QList<MessageBox::Request> boxes_;
};

void TestController::init()
{
    home_ = std::make_unique<TestHome>();
    controller_ = std::make_unique<AppController>();
    setAppController(controller_.get());
    boxes_.clear();
    MessageBox::setHandler([this](const MessageBox::Request& request) {
        boxes_.append(request);
        return QMessageBox::Ok;
    });
}

void TestController::cleanup()
{
    MessageBox::setHandler({});
    setAppController(nullptr);
    controller_.reset();
    home_.reset();
}

void TestController::addStatusIndent_data()
{
    QTest::addColumn<QString>("before");
    QTest::addColumn<int>("n");
    QTest::addColumn<int>("blanksAdded");
    QTest::newRow("-4 adds nothing") << QString() << -4 << 0;
    QTest::newRow("-3 adds one") << QString() << -3 << 1;
    QTest::newRow("20 adds 24") << QString() << 20 << 24;
    QTest::newRow("appends to what is there") << QStringLiteral("ab") << 0 << 4;
}

void TestController::addStatusIndent()
{
    QFETCH(QString, before);
    QFETCH(int, n);
    QFETCH(int, blanksAdded);
    controller_->setStatusIndent(before);
    controller_->addStatusIndent(n);
    QCOMPARE(controller_->statusIndent(), before + QString(blanksAdded, QLatin1Char(' ')));
}

void TestController::resetLoginStatusFromAnyState()
{
    controller_->setStatusText(QStringLiteral("Token Expired......Token Expired... "));
    controller_->setStatusIndent(QStringLiteral("      "));
    controller_->resetLoginStatus();
    const QString expected = QString(24, QLatin1Char(' ')) + QStringLiteral("  Please Login..!  ") + QChar(0x00BB);
    QCOMPARE(controller_->statusText(), expected);
    QCOMPARE(controller_->statusText().size(), 44);
}

void TestController::showMessageKinds_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("expectedIcon");
    QTest::newRow("0 shows nothing") << 0 << -1;
    QTest::newRow("1 information") << 1 << int(QMessageBox::Information);
    QTest::newRow("2 critical") << 2 << int(QMessageBox::Critical);
    QTest::newRow("3 shows nothing") << 3 << -1;
}

void TestController::showMessageKinds()
{
    QFETCH(int, kind);
    QFETCH(int, expectedIcon);
    MainWindow loginWindow;
    controller_->setLoginWindow(&loginWindow);
    controller_->showMessage(QStringLiteral(" text with blanks "), kind);
    if (expectedIcon < 0) {
        QVERIFY(boxes_.isEmpty());
        return;
    }
    QCOMPARE(boxes_.size(), 1);
    const MessageBox::Request& box = boxes_.first();
    QCOMPARE(int(box.icon), expectedIcon);
    QCOMPARE(box.title, QStringLiteral("Veltrane Auth"));
    QCOMPARE(box.text, QStringLiteral(" text with blanks "));
    QCOMPARE(box.parent, &loginWindow);
    QCOMPARE(box.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QCOMPARE(box.defaultButton, QMessageBox::NoButton);
}

void TestController::accountNameMatchesSystem()
{
    QProcess id;
    id.start(QStringLiteral("id"), {QStringLiteral("-un")});
    QVERIFY(id.waitForFinished());
    QCOMPARE(controller_->windowsUserName(), QString::fromLatin1(id.readAllStandardOutput().trimmed()));
}

void TestController::containerSizeFollowsPicture()
{
    const QPixmap picture(QStringLiteral(":/BG_Trans.png"));
    QVERIFY(!picture.isNull());
    BaseScreen* container = controller_->container();
    QCOMPARE(container->size(), picture.size());
    QCOMPARE(container->minimumSize(), picture.size());
    QCOMPARE(container->maximumSize(), picture.size());
    QVERIFY(container->windowFlags() & Qt::FramelessWindowHint);
    QVERIFY(container->testAttribute(Qt::WA_TranslucentBackground));
}

void TestController::containerDrag_data()
{
    QTest::addColumn<int>("pressButton");
    QTest::addColumn<int>("heldButtons");
    QTest::addColumn<QPoint>("expectedPosition");
    // The window starts at (100, 100); the press is at global (150, 120) and the move goes to (300, 300).
    QTest::newRow("left button drags, grabbed point stays under cursor")
        << int(Qt::LeftButton) << int(Qt::LeftButton) << QPoint(250, 280);
    QTest::newRow("right button does nothing") << int(Qt::RightButton) << int(Qt::RightButton) << QPoint(100, 100);
    QTest::newRow("moving without a held button does nothing")
        << int(Qt::LeftButton) << int(Qt::NoButton) << QPoint(100, 100);
}

void TestController::containerDrag()
{
    QFETCH(int, pressButton);
    QFETCH(int, heldButtons);
    QFETCH(QPoint, expectedPosition);
    BaseScreen* container = controller_->container();
    container->move(100, 100);
    container->show();
    QVERIFY(QTest::qWaitForWindowExposed(container));
    container->move(100, 100);
    QTRY_COMPARE(container->frameGeometry().topLeft(), QPoint(100, 100));

    const QPointF pressAt(150, 120);
    QMouseEvent press(QEvent::MouseButtonPress, container->mapFromGlobal(pressAt), pressAt,
                      Qt::MouseButton(pressButton), Qt::MouseButtons(pressButton), Qt::NoModifier);
    QApplication::sendEvent(container, &press);
    const QPointF moveTo(300, 300);
    QMouseEvent move(QEvent::MouseMove, container->mapFromGlobal(moveTo), moveTo, Qt::NoButton,
                     Qt::MouseButtons(heldButtons), Qt::NoModifier);
    QApplication::sendEvent(container, &move);
    QTRY_COMPARE(container->pos(), expectedPosition);
}

QTEST_MAIN(TestController)
#include "tst_controller.moc"
