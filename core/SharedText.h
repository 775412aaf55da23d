#pragma once

#include <QString>

// Every user-visible message, the name and version, the servlet addresses and the data file names.
// Filled once before start-up runs and never changed; texts are kept exactly, blanks and typos included.
struct SharedText {
    // Server replies and status messages.
    QString msgServerUnableToProcess;
    QString msgInvalidCredentials;
    QString msgAccountLocked;
    QString msgNoSuchCredentials;
    QString msgDeviceInfoMissing;
    QString msgDeviceOtherUser;
    QString msgRegistrationLimit;
    QString msgRegistrationChanged;
    QString msgRegistrationSubmitted;
    QString msgRegistrationRejected;
    QString msgDeviceLocked;
    QString msgEnterCredentials;
    QString msgLoginSuccess;
    QString msgSessionExpired;
    QString msgSyncSuccess;
    QString msgTokenNotFound;
    QString msgServerUnreachable;
    QString msgAdjustSystemTime;

    // Messages of the program itself.
    QString msgAlreadyRunning;
    QString msgDataCorrupted;
    QString msgDeviceInfoFatal;
    QString msgRunsInTray;
    QString msgConfirmExit;
    QString msgConfirmLogout;
    QString msgCredentialLength;
    QString msgProxyHostInvalid;
    QString msgProxyPortInvalid;
    QString msgProxyUserInvalid;
    // A store that could not be written (full disk, a data folder that cannot be written): the session goes on in
    // memory.
    QString msgLoginNotSaved;
    QString msgResourcesNotSaved;
    // The data directory is not a real folder of this account; %1 is its full path.
    QString msgDataDirectoryRefused;

    // Identity and server addresses.
    QString appName;
    QString appVersion;
    QString appTitle;
    QString appNameVersion;
    QString copyrightLine;
    QString aboutHtml;
    // "(development build, server 127.0.0.1)" in a build that trusts the development authority, else empty; the
    // About box ends with it.
    QString buildNote;
    QString serverBaseUrl;
    QString urlStatServlet;
    QString urlRegServlet;
    QString urlAuthServlet;
    QString urlSyncServlet;
    QString identityFieldSeparator;

    // Data files, relative to the home directory, with Windows separators as stored.
    QString dataDirRel;
    QString resFileRel;
    QString loginFileRel;
    QString logFileRel;
    QString serialScriptRel;
    QString manufacturerScriptRel;
    QString settingsFileRel;

    QString settingsTabStyleSheet;

    static const SharedText& get();

private:
    SharedText();
};
