#include "ui/token/Tokendetails.h"

#include "app/AppController.h"
#include "ui/common/StatusMarquee.h"

#include <QLabel>
#include <QTimer>

Tokendetails::Tokendetails(QWidget* parent) : QWidget(parent), progressTimer(new QTimer(this))
{
    marquee_ = new StatusMarquee(this, new QLabel(this), &appController()->statusText);
    progressTimer->start(1000);
}

Tokendetails::~Tokendetails() = default;

void Tokendetails::showTokenView() {}

void Tokendetails::showStatusView() {}

void Tokendetails::showResource(int /*direction*/) {}

void Tokendetails::showCurrentResource() {}

void Tokendetails::setTagHidden(bool /*hide*/) {}

void Tokendetails::showLogin() {}
