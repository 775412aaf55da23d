#pragma once

#include <QMainWindow>

// The login window: user name and password, and the chain of requests that signs the user in.
class MainWindow : public QMainWindow {
    Q_OBJECT

public:
    explicit MainWindow(QWidget* parent = nullptr);
};
