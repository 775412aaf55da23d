#include "ui/token/TokenAccessibility.h"

#include "ui/token/Tokendetails.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QVariant>

const char* const TokenAccessibility::kCodeProperty = "veltraneCode";
const char* const TokenAccessibility::kSecondsProperty = "veltraneSecondsLeft";

namespace {

using TokenAccessibility::kCodeProperty;
using TokenAccessibility::kSecondsProperty;

// The code display read as text: QLCDNumber's own accessible value is a number, which drops leading zeros, and a
// screen reader (through the desktop's accessibility bus) reads a label's text and name, not its value. So the six
// digits are the display's text and end its name ("Token code 042517"); with no code on the display (a notice shows
// instead, in the status line) both say nothing of digits.
class TokenCodeAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TokenCodeAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::StaticText) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::TextInterface) {
            return static_cast<QAccessibleTextInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value) {
            return code();
        }
        if (type == QAccessible::Name) {
            const QString name = QAccessibleWidget::text(type);
            return code().isEmpty() ? name : name + QLatin1Char(' ') + code();
        }
        return QAccessibleWidget::text(type);
    }

    // The text: the code alone, read only, without selection or cursor.
    void selection(int /*selectionIndex*/, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = 0;
    }
    int selectionCount() const override { return 0; }
    void addSelection(int /*startOffset*/, int /*endOffset*/) override {}
    void removeSelection(int /*selectionIndex*/) override {}
    void setSelection(int /*selectionIndex*/, int /*startOffset*/, int /*endOffset*/) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int /*position*/) override {}
    QString text(int startOffset, int endOffset) const override
    {
        const QString digits = code();
        if (endOffset < 0 || endOffset > digits.size()) {
            endOffset = digits.size();
        }
        startOffset = qBound(0, startOffset, endOffset);
        return digits.mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(code().size()); }
    QRect characterRect(int offset) const override
    {
        // The six digits share the display's width evenly.
        const int count = characterCount();
        if (offset < 0 || offset >= count) {
            return QRect();
        }
        const QRect whole = rect();
        const int width = whole.width() / count;
        return QRect(whole.x() + offset * width, whole.y(), width, whole.height());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        for (int i = 0; i < characterCount(); ++i) {
            if (characterRect(i).contains(point)) {
                return i;
            }
        }
        return -1;
    }
    void scrollToSubstring(int /*startIndex*/, int /*endIndex*/) override {}
    QString attributes(int /*offset*/, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        return QString();
    }

private:
    QString code() const { return widget()->property(kCodeProperty).toString(); }
};

// The countdown read as the seconds left until the next code (1..30), not as the bar's fill.
class CountdownAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit CountdownAccessible(QWidget* widget) : QAccessibleWidget(widget, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface) {
            return static_cast<QAccessibleValueInterface*>(this);
        }
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text type) const override
    {
        if (type == QAccessible::Value) {
            return QString::number(currentValue().toInt());
        }
        return QAccessibleWidget::text(type);
    }
    QVariant currentValue() const override { return widget()->property(kSecondsProperty).toInt(); }
    void setCurrentValue(const QVariant& /*value*/) override {}
    QVariant maximumValue() const override { return 30; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }
};

bool onTokenScreen(const QWidget* widget)
{
    for (const QWidget* parent = widget->parentWidget(); parent; parent = parent->parentWidget()) {
        if (qobject_cast<const Tokendetails*>(parent)) {
            return true;
        }
    }
    return false;
}

// The two adaptors, for the two widgets of the token screen only.
QAccessibleInterface* tokenAccessibleFactory(const QString& className, QObject* object)
{
    auto* widget = qobject_cast<QWidget*>(object);
    if (!widget || !onTokenScreen(widget)) {
        return nullptr;
    }
    if (className == QLatin1String("QLCDNumber") && widget->objectName() == QLatin1String("lcdNumberToken")) {
        return new TokenCodeAccessible(widget);
    }
    if (className == QLatin1String("QProgressBar") && widget->objectName() == QLatin1String("progressBar")) {
        return new CountdownAccessible(widget);
    }
    return nullptr;
}

} // namespace

void TokenAccessibility::install()
{
    static const bool installed = [] {
        QAccessible::installFactory(tokenAccessibleFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void TokenAccessibility::setCode(QWidget* display, const QString& code)
{
    const QString previous = display->property(kCodeProperty).toString();
    if (previous == code) {
        return;
    }
    display->setProperty(kCodeProperty, code);
    // A reader follows the text and the name; the value is for in-process clients.
    QAccessibleTextUpdateEvent text(display, 0, previous, code);
    QAccessible::updateAccessibility(&text);
    QAccessibleEvent name(display, QAccessible::NameChanged);
    QAccessible::updateAccessibility(&name);
    QAccessibleValueChangeEvent value(display, code);
    QAccessible::updateAccessibility(&value);
}

void TokenAccessibility::setSecondsLeft(QWidget* bar, int seconds)
{
    if (bar->property(kSecondsProperty).toInt() == seconds) {
        return;
    }
    bar->setProperty(kSecondsProperty, seconds);
    QAccessibleValueChangeEvent event(bar, seconds);
    QAccessible::updateAccessibility(&event);
}
