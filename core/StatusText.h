#pragma once

#include <QObject>
#include <QString>

// The one status text of the program, scrolled by the login window's and the token screen's status lines, with the
// blanks put in front of a new text so that it enters from the right.
//
// Beside the text as it stands it keeps its message: the text as it was set, before any marquee step rotated it. A
// screen reader hears the message, once, whichever screen shows the text.
class StatusText : public QObject {
    Q_OBJECT

public:
    const QString& text() const { return text_; }
    const QString& message() const { return message_; }

    // A new message: the text and its message both become `text`.
    void setMessage(const QString& text);
    // Replaces the text; a text that is no step of the current message becomes the message too.
    void setText(const QString& text);
    // One marquee step: the first character moves to the end. An empty text stays empty.
    void rotate();

    const QString& indent() const { return indent_; }
    void setIndent(const QString& indent) { indent_ = indent; }
    // Appends n + 4 blanks to the indent; nothing when n + 3 is negative.
    void addIndent(int n);

    // Whether `text` is `message` after some marquee steps.
    static bool isRotationOf(const QString& text, const QString& message);

signals:
    void messageChanged(const QString& message);

private:
    QString text_;
    QString message_;
    QString indent_;
};
