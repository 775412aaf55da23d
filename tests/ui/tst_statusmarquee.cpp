#include "ui/shell/AppController.h"
#include "core/StatusText.h"
#include "support/ScreenFixture.h"
#include "ui/common/StatusMarquee.h"

#include <QLabel>
#include <QTest>
#include <QTimer>

// The status line that both screens scroll: the rotation, the blanks in front of a new message, and which screen's
// line moves.
class TestStatusMarquee : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void tick_data();
    void tick();
    void addingSpace_data();
    void addingSpace();
    void paddedMessageEntersFromTheRight();
    void onlyTheVisibleScreenTicks();

private:
    std::unique_ptr<QWidget> screen_;
    QLabel* label_ = nullptr;
    std::unique_ptr<StatusText> text_;
    StatusMarquee* marquee_ = nullptr;
};

void TestStatusMarquee::init()
{
    screen_ = std::make_unique<QWidget>();
    label_ = new QLabel(screen_.get());
    text_ = std::make_unique<StatusText>();
    marquee_ = new StatusMarquee(screen_.get(), label_, text_.get());
}

void TestStatusMarquee::cleanup()
{
    screen_.reset();
}

void TestStatusMarquee::tick_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("counter");
    QTest::addColumn<QString>("textAfter");
    QTest::addColumn<int>("counterAfter");
    QTest::newRow("first character to the end") << QStringLiteral("abc") << 1 << QStringLiteral("bca") << 2;
    QTest::newRow("29 wraps to 1") << QStringLiteral("abc") << 29 << QStringLiteral("bca") << 1;
    QTest::newRow("idle at 0") << QStringLiteral("abc") << 0 << QStringLiteral("abc") << 0;
    QTest::newRow("idle below 0") << QStringLiteral("abc") << -2 << QStringLiteral("abc") << -2;
    QTest::newRow("empty text stays empty") << QString() << 1 << QString() << 2;
}

void TestStatusMarquee::tick()
{
    QFETCH(QString, text);
    QFETCH(int, counter);
    QFETCH(QString, textAfter);
    QFETCH(int, counterAfter);
    text_->setText(text);
    label_->setText(QStringLiteral("before"));
    marquee_->setScrollCounter(counter);
    marquee_->tick();
    QCOMPARE(text_->text(), textAfter);
    QCOMPARE(marquee_->scrollCounter(), counterAfter);
    QCOMPARE(label_->text(), counter > 0 ? textAfter : QStringLiteral("before"));
}

void TestStatusMarquee::addingSpace_data()
{
    QTest::addColumn<int>("length");
    QTest::addColumn<int>("blanks");
    QTest::newRow("-4 adds none") << -4 << 0;
    QTest::newRow("-3 adds one") << -3 << 1;
    QTest::newRow("20 adds 24") << 20 << 24;
}

void TestStatusMarquee::addingSpace()
{
    QFETCH(int, length);
    QFETCH(int, blanks);
    marquee_->addingSpace(length);
    QCOMPARE(marquee_->pad(), QString(blanks, QLatin1Char(' ')));
}

void TestStatusMarquee::paddedMessageEntersFromTheRight()
{
    const QString prompt = QStringLiteral("  Please wait..  Login..!");
    marquee_->addingSpace(3); // a pad left from an earlier message is replaced, not extended
    marquee_->showPaddedMessage(prompt, prompt.size() - 5);
    QCOMPARE(text_->text(), QString(24, QLatin1Char(' ')) + prompt);
    QCOMPARE(marquee_->scrollCounter(), 1);
    QVERIFY(marquee_->isTimerOn());
}

void TestStatusMarquee::onlyTheVisibleScreenTicks()
{
    // Two screens on one shared text: the hidden one must not rotate it a second time per tick.
    QWidget other;
    QLabel otherLabel(&other);
    StatusMarquee otherMarquee(&other, &otherLabel, text_.get());
    marquee_->showMessage(QStringLiteral("abcdef"));
    otherMarquee.run();
    QVERIFY(marquee_->isTimerOn());
    QVERIFY(!marquee_->isTicking());

    screen_->show();
    QVERIFY(marquee_->isTicking());
    QVERIFY(!otherMarquee.isTicking());

    screen_->hide();
    other.show();
    QVERIFY(!marquee_->isTicking());
    QVERIFY(otherMarquee.isTicking());
    screen_->show();
    QVERIFY(marquee_->isTicking());

    marquee_->stop();
    QVERIFY(!marquee_->isTicking());
    QCOMPARE(marquee_->scrollCounter(), 0);
}

QTEST_MAIN(TestStatusMarquee)
#include "tst_statusmarquee.moc"
