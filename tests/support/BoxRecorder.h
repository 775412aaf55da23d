#pragma once

#include "ui/shell/MessageBox.h"

#include <QList>
#include <QQueue>
#include <QStringList>

#include <functional>

// Takes the place of every message box for the life of the object: records each request and answers it at once,
// from the queued answers first, else OK (a question is then answered "&No", as Escape would).
class BoxRecorder {
public:
    BoxRecorder();
    ~BoxRecorder();
    BoxRecorder(const BoxRecorder&) = delete;
    BoxRecorder& operator=(const BoxRecorder&) = delete;

    void answerNext(QMessageBox::StandardButton button) { answers_.enqueue(button); }
    QStringList texts() const;
    void clear() { boxes.clear(); }

    QList<MessageBox::Request> boxes;
    // Runs while a box is "open", before it is answered: the state a user would see behind the box.
    std::function<void(const MessageBox::Request&)> whileOpen;

private:
    QQueue<QMessageBox::StandardButton> answers_;
};
