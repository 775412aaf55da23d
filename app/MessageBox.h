#pragma once

#include <QMessageBox>
#include <QString>

#include <functional>

// Every message box of the program goes through here, so that tests can answer or capture it instead of blocking
// on a modal dialog.
class MessageBox {
public:
    struct Request {
        QWidget* parent = nullptr;
        QMessageBox::Icon icon = QMessageBox::NoIcon;
        QString title;
        QString text;
        QMessageBox::StandardButtons buttons = QMessageBox::Ok;
        QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
    };
    using Handler = std::function<QMessageBox::StandardButton(const Request&)>;

    // Shows the box modally (or hands it to the installed handler) and returns the button that closed it.
    static QMessageBox::StandardButton show(const Request& request);

    // The program's usual boxes: title appName, one OK button, no default button.
    static void information(QWidget* parent, const QString& text);
    static void critical(QWidget* parent, const QString& text);

    // Installs a handler that answers every box instead of showing it; an empty handler restores real boxes.
    static void setHandler(Handler handler);
};
