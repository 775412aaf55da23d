#include "ui/token/CodeClipboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

namespace {
const int kClipboardLifetimeMs = 30000;
// The entry that clipboard histories (Klipper, CopyQ and others) honour: a copy marked secret is not kept.
const char* const kPasswordManagerHint = "x-kde-passwordManagerHint";
} // namespace

CodeClipboard::CodeClipboard(QObject* parent) : QObject(parent), timer_(new QTimer(this))
{
    timer_->setObjectName(QStringLiteral("clipboardTimer"));
    timer_->setSingleShot(true);
    timer_->setInterval(kClipboardLifetimeMs);
    connect(timer_, &QTimer::timeout, this, &CodeClipboard::clear);
    // Nor does a code outlive the program: a clipboard manager would take over what the clipboard holds at exit.
    connect(qApp, &QCoreApplication::aboutToQuit, this, &CodeClipboard::clear);
}

void CodeClipboard::copy(const QString& code)
{
    if (code.isEmpty()) {
        return;
    }
    auto* data = new QMimeData;
    data->setText(code);
    data->setData(QLatin1String(kPasswordManagerHint), QByteArrayLiteral("secret"));
    // The clipboard owns the data from here on.
    QGuiApplication::clipboard()->setMimeData(data);
    copiedCode_ = code;
    timer_->start();
}

void CodeClipboard::clear()
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (!copiedCode_.isEmpty() && clipboard->text() == copiedCode_) {
        clipboard->clear();
    }
    copiedCode_.clear();
}
