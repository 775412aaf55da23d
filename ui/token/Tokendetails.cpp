#include "ui/token/Tokendetails.h"

Tokendetails::Tokendetails(QWidget* parent) : QWidget(parent) {}
