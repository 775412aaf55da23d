#include "core/SharedText.h"

#include "VeltraneBuildConfig.h"

namespace {
// The copyright notice of the maker and the credit line of the technology brand.
const char* const kCopyrightNotice = "2026 Veltrane Systems Ltd. All rights reserved.";
const char* const kCreditLine = "Powered by Veltrane Managed Authentication";
} // namespace

const SharedText& SharedText::get()
{
    static const SharedText texts;
    return texts;
}

SharedText::SharedText()
{
    appName = QStringLiteral("Veltrane Auth");
    appVersion = QStringLiteral(VELTRANE_VERSION);

    msgServerUnableToProcess =
        QStringLiteral(" Unable to process your request on the Veltrane Auth Server. Please retry later.");
    msgInvalidCredentials = QStringLiteral("Invalid username or password. Please retry.");
    msgAccountLocked = QStringLiteral(" Your user account is currently locked. Please contact Veltrane. ");
    msgNoSuchCredentials = QStringLiteral("Username & Password combination doesn't exist. Please retry.");
    msgDeviceInfoMissing = QStringLiteral(
        " Veltrane Auth couldn't collect information about your device. Please contact your administrator.");
    msgDeviceOtherUser = QStringLiteral("This device is already registered to a different user. If this device should "
                                        "now be registered for your use please contact your administrator.");
    msgRegistrationLimit = QStringLiteral(
        "You have exceeded the maximum number of automatic device registrations configured for your account. A new "
        "registration request has been sent to your administrator who can approve or deny this additional device "
        "registration.You can contact your administrator to inquire about the status. You will not be able to use this "
        "device until your administrator approves the request.");
    msgRegistrationChanged =
        QStringLiteral(" A change in the status of your device registration has occurred, please login again.");
    msgRegistrationSubmitted = QStringLiteral(
        "Your device has been submitted for registration. Please wait for an approval email from your administrator.");
    msgRegistrationRejected = QStringLiteral("Your device registration has been rejected by your administrator. Please "
                                             "contact your administrator for more information.");
    msgDeviceLocked = QStringLiteral(
        "Your device has been locked by the administrator. Please contact your administrator for more information.");
    msgEnterCredentials = QStringLiteral("Please enter valid username and password!");
    msgLoginSuccess = QStringLiteral("Authentication Login Successfully");
    msgSessionExpired = QStringLiteral("Your Session has expired. Please login again.");
    msgSyncSuccess = QStringLiteral("Sync Request Sucessfully");
    msgTokenNotFound = QStringLiteral("Token not found. Please contact your system adminstrator for more information.");
    msgServerUnreachable = QStringLiteral("Veltrane could not reach the Managed Authentication server. Please check "
                                          "your Network/Proxy settings and retry.");
    msgAdjustSystemTime = QStringLiteral("Please adjust the system time to the standard local time.");

    msgAlreadyRunning = QStringLiteral(" Veltrane Auth is currently running. Please right click on the system tray "
                                       "icon and click Exit to exit the application");
    msgDataCorrupted =
        appName + QStringLiteral(" suspects that the core data file has been corrupted. Recreating the data files for "
                                 "you. Please re-login again.");
    msgDeviceInfoFatal =
        QStringLiteral("Veltrane cannot retrive information about your computer. Application will now terminate.");
    msgRunsInTray = QStringLiteral("Veltrane will continue to run in the system tray.");
    msgConfirmExit = QStringLiteral("Do you want to exit Veltrane?");
    msgConfirmLogout = QStringLiteral("Do you want to logout  Veltrane?");
    msgCredentialLength = QStringLiteral(
        "Invalid username or password. User credentials must be between 6 and 100 characters inclusive.");
    msgProxyHostInvalid = QStringLiteral("Proxy host is invalid. Please enter a valid hostname or IP address.");
    msgProxyPortInvalid = QStringLiteral("Proxy port is invalid. Please enter a valid port number.");
    msgProxyUserInvalid = QStringLiteral("Proxy Username is invalid. Please retry");
    msgLoginNotSaved = appName + QStringLiteral(" could not save your sign-in (login.dat). You stay signed in until "
                                                "the program ends; please check that the disk is not full and that "
                                                "the folder \".Veltrane Auth\" in your home folder can be written.");
    msgResourcesNotSaved =
        appName + QStringLiteral(" could not save your resources and token keys (res.dat). They are shown until the "
                                 "program ends; please check that the disk is not full and that the folder "
                                 "\".Veltrane Auth\" in your home folder can be written, then press Sync.");
    msgDataDirectoryRefused =
        appName + QStringLiteral(" does not use the folder \"%1\": it is not a folder of your own (another account "
                                 "owns it, or it is a link). Nothing is read from it or saved in it, so you sign in "
                                 "at every start and your settings are not kept; please remove or rename it, and it "
                                 "is made anew at the next start.");

    appTitle = appName + QLatin1Char(' ') + appVersion;
    appNameVersion = appName + appVersion;
    copyrightLine = QStringLiteral("Copyright ") + QChar(0x00A9) + QLatin1Char(' ') + QLatin1String(kCopyrightNotice) +
                    QLatin1Char('\n') + QLatin1String(kCreditLine);
    aboutHtml = QStringLiteral("<h2><b>") + appName + QStringLiteral("</b> ") + appVersion +
                QStringLiteral("</h2> <h8>") + QChar(0x00A9) + QLatin1String(kCopyrightNotice) +
                QStringLiteral("</h8>");
    buildNote = QStringLiteral(VELTRANE_BUILD_NOTE);
    if (!buildNote.isEmpty()) {
        aboutHtml += QStringLiteral("<p>") + buildNote + QStringLiteral("</p>");
    }
    serverBaseUrl = QStringLiteral(VELTRANE_SERVER_URL);
    urlStatServlet = serverBaseUrl + QStringLiteral("/Quarnet/StatServlet");
    urlRegServlet = serverBaseUrl + QStringLiteral("/Quarnet/RegServlet");
    urlAuthServlet = serverBaseUrl + QStringLiteral("/Quarnet/AuthServlet");
    urlSyncServlet = serverBaseUrl + QStringLiteral("/Quarnet/SyncServlet");
    identityFieldSeparator = QStringLiteral("*");

    dataDirRel = QStringLiteral("\\.") + appName;
    resFileRel = dataDirRel + QStringLiteral("\\res.dat");
    loginFileRel = dataDirRel + QStringLiteral("\\login.dat");
    logFileRel = dataDirRel + QStringLiteral("\\log.dat");
    serialScriptRel = dataDirRel + QStringLiteral("\\Serial.vbs");
    manufacturerScriptRel = dataDirRel + QStringLiteral("\\Manufacture.vbs");
    settingsFileRel = dataDirRel + QStringLiteral("\\Proxy.dat");

    settingsTabStyleSheet = QStringLiteral(
        "QTabWidget::pane { border-top: 2px;}QTabWidget::tab-bar {left: 5px; } QTabBar::tab {background-color: "
        "qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(1, 46, 108, 255), stop:1 rgba(81, 166, 238, "
        "255)); border-bottom-color: #C2C7CB; border-top-left-radius: 4px;border-top-right-radius: 4px;min-width: "
        "8ex;padding: 2px;color:#226b7f;}QTabBar::tab:selected, QTabBar::tab:hover {background: qlineargradient(x1: 0, "
        "y1: 0, x2: 0, y2: 1, stop: 0 #012e6c, stop: 0.1 #012e6c, stop: 0.2 #012e6c, stop: 0.3 #012e6c, stop: 0.4 "
        "#012e6c, stop: 0.5 #51a6ee, stop: 1.0 #51a6ee);color:rgb(0,0,0);}QTabBar::tab:selected, QTabBar::tab:hover "
        "{background-color: qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(1, 46, 108, 247), stop:1 "
        "rgba(81, 166, 238, 247));}QTabBar::tab:selected {border-color: #2cdef9;border-bottom-color: "
        "#2cdef9;color:#ffffff;color:rgb(0,0,0);}QTabBar::tab:!selected {margin-top: "
        "5px;color:#226b7f;color:rgb(197,196,196);}");
}
