#pragma once

#include <QObject>
#include <QString>

class QTimer;

// The clipboard's share of the token screen: a copied code is marked secret for clipboard histories and taken back
// 30 seconds later, or when the program quits, but only while the clipboard still holds it: whatever the user
// copied since stays. The lifetime is the single-shot timer named "clipboardTimer", which tests fire by hand.
class CodeClipboard : public QObject {
    Q_OBJECT

public:
    explicit CodeClipboard(QObject* parent = nullptr);

    // Puts the code on the clipboard and starts its lifetime; an empty code copies nothing.
    void copy(const QString& code);
    // Clears the clipboard if it still holds the copied code, and forgets the code.
    void clear();

private:
    QString copiedCode_;
    QTimer* timer_ = nullptr;
};
