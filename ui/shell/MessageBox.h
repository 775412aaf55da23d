#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// Every message box of the program goes through here, so that tests can answer or capture it instead of blocking
// on a modal dialog.
class MessageBox {
public:
    enum class Kind {
        // A box with standard buttons (information, critical).
        Standard,
        // QMessageBox::about: rich text, the application icon, one OK button.
        About,
        // A yes/no question with the buttons "&Yes" and "&No"; "&No" is the default and the Escape answer.
        Question,
    };

    struct Request {
        QWidget* parent = nullptr;
        Kind kind = Kind::Standard;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };
    // Answers a box: the button that closed it (QMessageBox::Yes or QMessageBox::No for a question).
    using Handler = std::function<QMessageBox::StandardButton(const Request&)>;

    // Shows the box modally (or hands it to the installed handler) and returns the button that closed it.
    static QMessageBox::StandardButton show(const Request& request);

    // The program's usual boxes: title appName, one OK button, no default button.
    static void information(QWidget* parent, const QString& text);
    static void critical(QWidget* parent, const QString& text);
    // An about box with a rich text.
    static void about(QWidget* parent, const QString& title, const QString& richText);
    // A question titled appName; true when the user answered "&Yes" (Escape and closing the box answer "&No").
    static bool question(QWidget* parent, const QString& text);

    // Installs a handler that answers every box instead of showing it; an empty handler restores real boxes.
    static void setHandler(Handler handler);
};
