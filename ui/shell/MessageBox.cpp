#include "ui/shell/MessageBox.h"

#include "core/SharedText.h"

#include <QLoggingCategory>
#include <QPushButton>

// Every box's text on the debug channel, off unless QT_LOGGING_RULES="veltrane.boxes.debug=true": end-to-end tests
// read what a box said without scraping pixels.
Q_LOGGING_CATEGORY(boxTrace, "veltrane.boxes", QtWarningMsg)

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

QMessageBox::StandardButton execQuestion(const MessageBox::Request& request)
{
    QMessageBox box(QMessageBox::Question, request.title, request.text, QMessageBox::NoButton, request.parent);
    QPushButton* yes = box.addButton(QObject::tr("&Yes"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QObject::tr("&No"), QMessageBox::NoRole);
    box.setDefaultButton(no);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? QMessageBox::Yes : QMessageBox::No;
}
} // namespace

QMessageBox::StandardButton MessageBox::show(const Request& request)
{
    qCDebug(boxTrace).noquote() << "box:" << request.title << "|" << request.text;
    if (handler()) {
        return handler()(request);
    }
    switch (request.kind) {
    case Kind::About:
        QMessageBox::about(request.parent, request.title, request.text);
        return QMessageBox::Ok;
    case Kind::Question:
        return execQuestion(request);
    case Kind::Standard:
        break;
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

void MessageBox::about(QWidget* parent, const QString& title, const QString& richText)
{
    Request request;
    request.parent = parent;
    request.kind = Kind::About;
    request.title = title;
    request.text = richText;
    show(request);
}

bool MessageBox::question(QWidget* parent, const QString& text)
{
    Request request = okBox(parent, QMessageBox::Question, text);
    request.kind = Kind::Question;
    request.buttons = QMessageBox::Yes | QMessageBox::No;
    request.defaultButton = QMessageBox::No;
    return show(request) == QMessageBox::Yes;
}

void MessageBox::setHandler(Handler newHandler)
{
    handler() = std::move(newHandler);
}
