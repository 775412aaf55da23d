#pragma once

#include <QString>
#include <QTemporaryDir>

// A fresh home directory for one test case: HOME points at it while the object lives, and the data directory
// exists in it. XDG_CONFIG_HOME is unset meanwhile, so the account's configuration folder (the session's autostart
// entries) is the one in this home too.
class TestHome {
public:
    TestHome();
    ~TestHome();
    TestHome(const TestHome&) = delete;
    TestHome& operator=(const TestHome&) = delete;

    QString path() const { return dir_.path(); }
    // The data directory inside this home.
    QString dataDir() const;
    // A file of the data directory, by its name ("login.dat").
    QString dataFile(const QString& name) const;

private:
    QTemporaryDir dir_;
    QByteArray previousHome_;
    QByteArray previousConfigHome_;
    bool hadConfigHome_ = false;
};
