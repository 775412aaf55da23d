#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// Runs a shell script as root in new mount and network namespaces: what it mounts is seen by no one else, and it
// starts offline (a loopback device only, down). The functions of support/namespace-tools.sh are loaded first;
// `args` become $1, $2, ... Standard error is passed through to the test's output.
struct NamespaceRun {
    bool ok = false; // ran and exited 0
    int exitCode = -1;
    QByteArray output;
    // Set when this machine cannot give the namespaces (not root, no unshare): the test skips.
    QString skipReason;
};

NamespaceRun runInPrivateNamespaces(const QString& script, const QStringList& args = {}, int timeoutMs = 180000);

// Writes a machine-id fixture (the id and a line feed, mode 0644, as systemd keeps it) into the folder and returns its
// path; empty when it could not be written.
QString writeMachineIdFixture(const QString& folder, const QByteArray& id);

// The value of a "NAME=hex" line of the output, decoded; empty when there is none.
QByteArray hexField(const QByteArray& output, const QByteArray& name);
