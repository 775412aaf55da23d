#include "ui/shell/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>

#include <functional>

// The real boxes, answered as a user would: by key or by clicking a button, once the box is up.
class TestMessageBox : public QObject {
    Q_OBJECT

private slots:
    void questionAnswers_data();
    void questionAnswers();
    void aboutShowsRichText();

private:
    // Runs the action on the box once it is open (from the box's own event loop, so nothing waits).
    static void whenBoxOpens(std::function<void(QMessageBox*)> action);
};

void TestMessageBox::whenBoxOpens(std::function<void(QMessageBox*)> action)
{
    QTimer::singleShot(0, [action] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        QVERIFY(box);
        action(box);
    });
}

void TestMessageBox::questionAnswers_data()
{
    QTest::addColumn<QString>("answer");
    QTest::addColumn<bool>("yes");
    QTest::newRow("Escape answers No") << QStringLiteral("escape") << false;
    QTest::newRow("Enter takes the default No") << QStringLiteral("enter") << false;
    QTest::newRow("Yes clicked") << QStringLiteral("&Yes") << true;
    QTest::newRow("No clicked") << QStringLiteral("&No") << false;
}

void TestMessageBox::questionAnswers()
{
    QFETCH(QString, answer);
    QFETCH(bool, yes);
    QStringList buttonTexts;
    QString title;
    whenBoxOpens([&](QMessageBox* box) {
        title = box->windowTitle();
        for (QAbstractButton* button : box->buttons()) {
            buttonTexts.append(button->text());
        }
        if (answer == QStringLiteral("escape")) {
            QTest::keyClick(box, Qt::Key_Escape);
        } else if (answer == QStringLiteral("enter")) {
            QTest::keyClick(box, Qt::Key_Return);
        } else {
            for (QAbstractButton* button : box->buttons()) {
                if (button->text() == answer) {
                    button->click();
                }
            }
        }
    });
    QCOMPARE(MessageBox::question(nullptr, QStringLiteral("Do you want to exit Veltrane?")), yes);
    QCOMPARE(title, QStringLiteral("Veltrane Auth"));
    buttonTexts.sort();
    QCOMPARE(buttonTexts, (QStringList{QStringLiteral("&No"), QStringLiteral("&Yes")}));
}

void TestMessageBox::aboutShowsRichText()
{
    QString text;
    Qt::TextFormat format = Qt::PlainText;
    whenBoxOpens([&](QMessageBox* box) {
        text = box->text();
        format = box->textFormat();
        box->accept();
    });
    MessageBox::about(nullptr, QStringLiteral("About Veltrane Auth"), QStringLiteral("<h2><b>Veltrane Auth</b></h2>"));
    QCOMPARE(text, QStringLiteral("<h2><b>Veltrane Auth</b></h2>"));
    QVERIFY(format == Qt::AutoText || format == Qt::RichText);
}

QTEST_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
