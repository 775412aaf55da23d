#include "app/MessageBox.h"

#include "app/SharedText.h"

namespace {
MessageBox::Handler& handler()
{
    static MessageBox::Handler installed;
    return installed;
}

MessageBox::Request okBox(QWidget* parent, QMessageBox::Icon icon, const QString& text)
{
    MessageBox::Request request;
    request.parent = parent;
    request.icon = icon;
    request.title = SharedText::get().appName;
    request.text = text;
    return request;
}
} // namespace

QMessageBox::StandardButton MessageBox::show(const Request& request)
{
    if (handler()) {
        return handler()(request);
    }
    QMessageBox box(request.icon, request.title, request.text, request.buttons, request.parent);
    if (request.defaultButton != QMessageBox::NoButton) {
        box.setDefaultButton(request.defaultButton);
    }
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

void MessageBox::information(QWidget* parent, const QString& text)
{
    show(okBox(parent, QMessageBox::Information, text));
}

void MessageBox::critical(QWidget* parent, const QString& text)
{
    show(okBox(parent, QMessageBox::Critical, text));
}

void MessageBox::setHandler(Handler newHandler)
{
    handler() = std::move(newHandler);
}
