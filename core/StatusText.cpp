#include "core/StatusText.h"

void StatusText::setMessage(const QString& text)
{
    text_ = text;
    if (message_ != text) {
        message_ = text;
        emit messageChanged(message_);
    }
}

void StatusText::setText(const QString& text)
{
    if (isRotationOf(text, message_)) {
        text_ = text;
        return;
    }
    setMessage(text);
}

void StatusText::rotate()
{
    text_ = text_.mid(1) + text_.left(1);
}

void StatusText::addIndent(int n)
{
    if (n + 3 < 0) {
        return;
    }
    indent_ += QString(n + 4, QLatin1Char(' '));
}

bool StatusText::isRotationOf(const QString& text, const QString& message)
{
    return text.size() == message.size() && (message + message).contains(text);
}
