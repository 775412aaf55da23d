#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>

// The one message between two instances of the program of one account: a second start asks the running instance
// to bring its window back (its box then says that the program runs). Nothing else is passed.
class InstanceChannel : public QObject {
    Q_OBJECT

public:
    explicit InstanceChannel(QObject* parent = nullptr);

    // The running instance listens at name (it holds the single-instance guard, so a socket left there by a killed
    // instance is stale and replaced). False when it cannot listen; the program runs all the same.
    bool listen(const QString& name);

    // A second start asks the instance listening at name to show its window, waiting at most timeoutMs. False when
    // no instance took the request.
    static bool askToShow(const QString& name, int timeoutMs = 2000);

signals:
    void showRequested();

private:
    QLocalServer server_;
};
