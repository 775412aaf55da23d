#pragma once

#include <QWidget>

// The token screen: the current resource's six-digit code with its countdown.
class Tokendetails : public QWidget {
    Q_OBJECT

public:
    explicit Tokendetails(QWidget* parent = nullptr);
};
