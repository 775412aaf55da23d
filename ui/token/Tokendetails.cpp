#include "ui/token/Tokendetails.h"

#include "ui_Tokendetails.h"

#include "core/SharedText.h"
#include "protocol/ServerDate.h"
#include "protocol/SyncChain.h"
#include "protocol/TokenGenerator.h"
#include "storage/ResourceRecord.h"
#include "storage/ResourceStore.h"
#include "ui/common/ButtonPicture.h"
#include "ui/common/ScreenFonts.h"
#include "ui/common/ScreenKeys.h"
#include "ui/common/StatusMarquee.h"
#include "ui/common/TlsComponentBox.h"
#include "ui/shell/AppController.h"
#include "ui/shell/BaseScreen.h"
#include "ui/shell/MessageBox.h"
#include "ui/token/CodeClipboard.h"
#include "ui/token/TokenAccessibility.h"

#include <QMouseEvent>
#include <QShortcut>
#include <QStyle>
#include <QStyleFactory>
#include <QTextDocument>
#include <QTimer>

namespace {

using TokenKey::kExpiredRegistration;
using TokenKey::kExpiredToken;
using TokenKey::kRegistrationExpiredText;
using TokenKey::kTokenExpiredText;

// Names come from the server or from res.dat: a tooltip shows them as they are, never as markup (a name such as
// "<img src=...>" would otherwise draw a local picture). An empty name keeps the label without a tooltip.
QString plainToolTip(const QString& text)
{
    return text.isEmpty() ? QString() : Qt::convertFromPlainText(text);
}

} // namespace

Tokendetails::Tokendetails(QWidget* parent) : QWidget(parent), ui(new Ui_Tokendetails)
{
    TokenAccessibility::install();
    ui->setupUi(this);
    currentIndex_ = -1;
    assignTokenStyle();

    countdown = 30;
    progressTimer = new QTimer(this);
    progressTimer->setObjectName(QStringLiteral("progressTimer"));
    connect(progressTimer, &QTimer::timeout, this, &Tokendetails::updateProgressBar);
    startCountdown();

    // The marquee's timer runs from the start, idle until a message gives it a positive counter.
    marquee_ = new StatusMarquee(this, ui->lblStatus, &appController()->status());
    marquee_->run();
    marquee_->setScrollCounter(0);

    chain_ = new SyncChain(
        {[] { return appController()->proxyMode; }, [] { return appController()->hasStoredLogin(); }}, this);
    connectSyncChain();

    // Ctrl+C and a click on the code copy it; the copy is taken back after 30 seconds unless replaced.
    clipboard_ = new CodeClipboard(this);
    auto* copy = new QShortcut(QKeySequence::Copy, this);
    copy->setContext(Qt::WindowShortcut);
    connect(copy, &QShortcut::activated, this, &Tokendetails::copyCode);
    ui->lcdNumberToken->installEventFilter(this);

    // Logout keeps its question and gets no key: a stray key must not end the session.
    ScreenKeys::bind(this, ui->pBPrev, {QKeySequence(Qt::Key_Left), QKeySequence(Qt::Key_PageUp)});
    ScreenKeys::bind(this, ui->pBNext, {QKeySequence(Qt::Key_Right), QKeySequence(Qt::Key_PageDown)});
    ScreenKeys::bind(this, ui->pBSync, {QKeySequence(Qt::Key_F5)});
    ScreenKeys::bind(this, ui->pBTProxy, {QKeySequence(Qt::CTRL | Qt::Key_Comma)});

    ui->lcdNumberToken->setProperty(TokenAccessibility::kCodeProperty, QString());
    ui->progressBar->setProperty(TokenAccessibility::kSecondsProperty, countdown);

    showCurrentResource();
}

Tokendetails::~Tokendetails()
{
    delete ui;
}

void Tokendetails::assignTokenStyle()
{
    // The form draws the rest; these it cannot say. Each picture with its @2x twin for a high-density screen.
    ButtonPicture::set(ui->pBTProxy, QStringLiteral(":/Tools.png"));
    ButtonPicture::set(ui->pBSync, QStringLiteral(":/update.png"));
    ButtonPicture::set(ui->pBLogout, QStringLiteral(":/logout.png"));
    ButtonPicture::set(ui->pBPrev, QStringLiteral(":/previous.png"));
    ButtonPicture::set(ui->pBNext, QStringLiteral(":/next.png"));

    ScreenFonts::registerLcdFont();

    // The bar keeps a style of its own, whose chunks the style sheet draws as separate thin lines. The screen owns
    // it, so that it outlives the bar.
    QStyle* barStyle = QStyleFactory::create(QStringLiteral("Fusion"));
    if (barStyle) {
        barStyle->setParent(this);
        ui->progressBar->setStyle(barStyle);
    }
}

// ---- The code and the countdown ----

void Tokendetails::showTokenKey(const QString& key)
{
    // The status timer is (re)started; its counter says whether it moves anything.
    const int counter = marquee_->scrollCounter();
    marquee_->restart();
    marquee_->setScrollCounter(counter);

    if (key == QLatin1String(kExpiredToken)) {
        ui->lblStatus->clear();
        marquee_->setText(QString::fromLatin1(kTokenExpiredText));
        showStatusView();
        marquee_->run();
    } else if (key == QLatin1String(kExpiredRegistration)) {
        showStatusView();
        marquee_->setText(QString::fromLatin1(kRegistrationExpiredText));
        marquee_->run();
    } else {
        ui->lblStatus->clear();
        displayedCode_ = TokenGenerator(key).generate();
        // The string form keeps leading zeros in all six positions.
        ui->lcdNumberToken->display(displayedCode_);
        showTokenView();
    }
    updateAccessibleValues();
}

void Tokendetails::showTokenView()
{
    ui->progressBar->show();
    ui->lcdNumberToken->show();
    ui->lblStatus->hide();
    updateAccessibleValues();
}

void Tokendetails::showStatusView()
{
    ui->progressBar->hide();
    ui->lcdNumberToken->hide();
    ui->lblStatus->show();
    updateAccessibleValues();
}

void Tokendetails::startCountdown()
{
    progressTimer->start(1000);
}

void Tokendetails::stopCountdown()
{
    progressTimer->stop();
}

void Tokendetails::resetCountdown()
{
    countdown = 30;
}

void Tokendetails::updateProgressBar()
{
    if (countdown < 1) {
        return;
    }
    --countdown;
    if (countdown == 0) {
        countdown = 30;
        // Only a selected resource is shown again: with none selected there is no code to show.
        if (currentIndex_ >= 0 && currentIndex_ < resourceList().size()) {
            showTokenKey(currentKey_);
        }
    }
    // 30 lies outside the bar's range: on the refresh tick the bar keeps its last value.
    ui->progressBar->setValue(countdown);
    ui->progressBar->repaint();
    updateAccessibleValues();
}

QString Tokendetails::displayedCode() const
{
    return ui->lcdNumberToken->isVisibleTo(const_cast<Tokendetails*>(this)) ? displayedCode_ : QString();
}

void Tokendetails::updateAccessibleValues()
{
    TokenAccessibility::setCode(ui->lcdNumberToken, displayedCode());
    TokenAccessibility::setSecondsLeft(ui->progressBar, countdown);
}

// ---- Copying the code ----

void Tokendetails::copyCode()
{
    clipboard_->copy(displayedCode());
}

bool Tokendetails::eventFilter(QObject* watched, QEvent* event)
{
    // The press, not the release: the press goes on to the container, which then owns the release for dragging.
    if (watched == ui->lcdNumberToken && event->type() == QEvent::MouseButtonPress &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        copyCode();
    }
    return QWidget::eventFilter(watched, event);
}

void Tokendetails::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The keyboard focus comes here with the screen. Otherwise a text field the user cannot see keeps the container's
    // focus (the hidden login window's user field, focused a turn of the event loop after start-up, or the hidden
    // tray form's text box the focus passed on to at sign-in) and takes Ctrl+C for itself: the copy shortcut would
    // never fire. A turn late, after the login window's own late focus.
    QTimer::singleShot(0, this, [this] {
        if (isVisible()) {
            setFocus(Qt::OtherFocusReason);
        }
    });
}

// ---- Resources ----

QString Tokendetails::shortLabel(const QString& text)
{
    return text.size() <= 15 ? text : text.left(10) + QStringLiteral("...");
}

QString Tokendetails::shortUserName(const QString& userName)
{
    const int at = userName.indexOf(QLatin1Char('@'));
    if (at < 0) {
        return shortLabel(userName);
    }
    return userName.left(4) + QStringLiteral("..") + userName.mid(at, 8) + QStringLiteral("..");
}

void Tokendetails::renderRecord(int index)
{
    const ResourceRecord record = resourceList().at(index);
    ui->lblResource->setToolTip(plainToolTip(record.resourceName));
    ui->lblResource->setText(shortLabel(record.resourceName));
    currentUser_ = record.userName;
    currentKey_ = record.tokenKey;
    showTokenKey(record.tokenKey);
    ui->lbltokenUser->setToolTip(plainToolTip(record.userName));
    ui->lbltokenUser->setText(shortUserName(record.userName));
    ui->lblgroup->setToolTip(plainToolTip(record.groupName));
    ui->lblgroup->setText(shortLabel(record.groupName));
}

void Tokendetails::clearSelection()
{
    currentIndex_ = -1;
    currentUser_.clear();
    currentKey_.clear();
    for (QLabel* label : {ui->lblResource, ui->lbltokenUser, ui->lblgroup}) {
        label->clear();
        label->setToolTip(QString());
    }
    ui->pBPrev->setEnabled(false);
    ui->pBNext->setEnabled(false);
}

void Tokendetails::showResource(int direction)
{
    const int n = resourceList().size();
    if (n < 1) {
        // A list emptied under a selection leaves nothing selected: the resource it named is gone.
        if (currentIndex_ != -1) {
            clearSelection();
        }
        return;
    }
    // The list may have shrunk since the selection was made.
    if (currentIndex_ >= n) {
        currentIndex_ = n - 1;
    }
    if (direction == 1) {
        if (currentIndex_ + 1 < n) {
            ++currentIndex_;
        }
        ui->pBNext->setEnabled(currentIndex_ + 1 != n);
        if (!ui->pBPrev->isEnabled()) {
            ui->pBPrev->setEnabled(true);
        }
    } else if (direction == -1) {
        if (currentIndex_ > 0) {
            --currentIndex_;
        }
        currentIndex_ = qMax(currentIndex_, 0);
        ui->pBPrev->setEnabled(currentIndex_ != 0);
    } else if (direction == 0) {
        currentIndex_ = 0;
        ui->pBPrev->setEnabled(false);
        ui->pBNext->setEnabled(n > 1);
    }
    currentIndex_ = qBound(0, currentIndex_, n - 1);
    renderRecord(currentIndex_);
    if (direction == -1 && !ui->pBNext->isEnabled()) {
        ui->pBNext->setEnabled(true);
    }
    ui->progressBar->repaint();
}

void Tokendetails::showCurrentResource()
{
    const int n = resourceList().size();
    if (n < 1) {
        return;
    }
    if (currentIndex_ < 0 || currentIndex_ >= n) {
        renderRecord(0);
        currentIndex_ = 0;
        ui->pBPrev->setEnabled(false);
    } else {
        renderRecord(currentIndex_);
    }
    if (n == 1) {
        ui->pBPrev->setEnabled(false);
        ui->pBNext->setEnabled(false);
    }
}

void Tokendetails::setTagHidden(bool hide)
{
    ui->widgetLTag->setHidden(hide);
    ui->lblResource->setHidden(hide);
    ui->lbltokenUser->setHidden(hide);
    ui->lblgroup->setHidden(hide);
}

void Tokendetails::on_pBNext_clicked()
{
    showResource(1);
}

void Tokendetails::on_pBPrev_clicked()
{
    showResource(-1);
}

// ---- Status line and leaving the screen ----

void Tokendetails::updateStatusMessage()
{
    marquee_->tick();
}

void Tokendetails::AddingSpace(int sLength)
{
    marquee_->addingSpace(sLength);
}

void Tokendetails::showLogin()
{
    // Whatever this screen still awaits is given up with it: the next sign-in starts with Sync usable, and no late
    // answer to a request the user left behind opens a box.
    chain_->cancel();
    ui->pBSync->setEnabled(true);
    hide();
    stopCountdown();
    emit loginRequested();
}

void Tokendetails::on_pBLogout_clicked()
{
    if (MessageBox::question(this, SharedText::get().msgConfirmLogout)) {
        showLogin();
    }
}

void Tokendetails::on_pBExit_clicked()
{
    appController()->closeToTray(this);
}

void Tokendetails::on_pBTProxy_clicked()
{
    emit settingsRequested();
    hide();
}

// ---- Sync ----

int Tokendetails::name_to_month(const char* month_str)
{
    return ServerDate::nameToMonth(month_str);
}

void Tokendetails::connectSyncChain()
{
    connect(chain_, &SyncChain::message, this,
            [](const QString& text, int kind) { appController()->showMessage(text, kind); });
    connect(chain_, &SyncChain::statusRequestFailed, this, [this](const QString& text) {
        MessageBox::critical(this, text);
        // The marquee would otherwise go on writing "Please wait" into the hidden status line.
        returnToCode();
    });
    connect(chain_, &SyncChain::statusLineChanged, this, [this](const QString& text) { marquee_->setText(text); });
    connect(chain_, &SyncChain::loginNeeded, this, &Tokendetails::showLogin);
    connect(chain_, &SyncChain::syncRequestStarting, this, &Tokendetails::showStatusView);
    connect(chain_, &SyncChain::syncReplyArrived, this, [this] {
        const QString received = QStringLiteral("  Data Received Successfully...!");
        marquee_->showPaddedMessage(received, received.size() - 5);
    });
    connect(chain_, &SyncChain::syncFailed, this, &Tokendetails::showSyncFailure);
    connect(chain_, &SyncChain::syncRefused, this, &Tokendetails::returnToCode);
    connect(chain_, &SyncChain::syncStoring, this, [this] {
        const QString local = QStringLiteral("  Please wait..  Sync with local..!");
        marquee_->showPaddedMessage(local, local.size() - 7);
    });
    connect(chain_, &SyncChain::synced, this, &Tokendetails::showSyncedList);
    // The button stays disabled while a request of the chain is in flight.
    connect(chain_, &SyncChain::finished, this, [this] { ui->pBSync->setEnabled(true); });
}

void Tokendetails::on_pBSync_clicked()
{
    // One request at a time: a click while one is in flight does nothing.
    if (chain_->busy()) {
        return;
    }
    ui->pBSync->setEnabled(false);
    marquee_->repad(marquee_->text().size() - 7);
    if (chain_->start()) {
        statDTM();
    }
}

void Tokendetails::statDTM()
{
    marquee_->setText(QStringLiteral("  Please wait..  Sending Request...!"));
    marquee_->run();
    chain_->sendStatusRequest();
    marquee_->run();
}

void Tokendetails::StatReadyToRead(const ReplyResult& reply)
{
    chain_->readStatusReply(reply);
}

void Tokendetails::syncReadyToRead(const ReplyResult& reply)
{
    chain_->readSyncReply(reply);
}

void Tokendetails::sendSyncRequest()
{
    chain_->sendSyncRequest();
}

void Tokendetails::checkServerTime(const QByteArray& dateHeader)
{
    chain_->checkServerTime(dateHeader);
}

void Tokendetails::forgetStoredLogin()
{
    chain_->forgetStoredLogin();
}

void Tokendetails::showSyncFailure(const QString& errorText)
{
    marquee_->setText(QStringLiteral(" ") + errorText);
    marquee_->stop();
    if (TlsComponentBox::isMissingComponent(errorText)) {
        TlsComponentBox::show(this);
    } else {
        appController()->showMessage(SharedText::get().msgServerUnreachable, CoreServices::Critical);
        ui->pBSync->setEnabled(true);
    }
    showTokenView();
    ui->lblStatus->clear();
    ui->pBSync->setEnabled(true);
    showListAfterSync();
}

void Tokendetails::showSyncedList()
{
    if (resourceList().size() < 2) {
        ui->pBPrev->setEnabled(false);
        ui->pBNext->setEnabled(false);
    }
    marquee_->repad(marquee_->text().size() - 5);
    ui->lblStatus->clear();
    ui->pBSync->setEnabled(true);
    showListAfterSync();
}

void Tokendetails::showListAfterSync()
{
    ui->lblStatus->clear();
    marquee_->stop();
    showStatusView();
    showResource(0);
    ui->pBSync->setEnabled(true);
}

void Tokendetails::returnToCode()
{
    marquee_->stop();
    ui->lblStatus->clear();
    // The reply may have sent the user to the login window, whose status line shares the text: leave it alone.
    if (isHidden()) {
        return;
    }
    if (currentIndex_ >= 0 && currentIndex_ < resourceList().size()) {
        renderRecord(currentIndex_);
    } else {
        showTokenView();
    }
}
