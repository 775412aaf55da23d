#include "core/SharedText.h"

#include <QTest>

// Every text must stand exactly as the server, the users and the stored files know it, blanks and typos included.
class TestSharedText : public QObject {
    Q_OBJECT

private slots:
    void exactText_data();
    void exactText();
    void aboutHtmlFrame();
};

void TestSharedText::exactText_data()
{
    QTest::addColumn<QString>("actual");
    QTest::addColumn<QString>("expected");
    const SharedText& t = SharedText::get();
    QTest::newRow("msgServerUnableToProcess")
        << t.msgServerUnableToProcess
        << QStringLiteral(" Unable to process your request on the Veltrane Auth Server. Please retry later.");
    QTest::newRow("msgInvalidCredentials")
        << t.msgInvalidCredentials << QStringLiteral("Invalid username or password. Please retry.");
    QTest::newRow("msgAccountLocked") << t.msgAccountLocked
                                      << QStringLiteral(
                                             " Your user account is currently locked. Please contact Veltrane. ");
    QTest::newRow("msgNoSuchCredentials")
        << t.msgNoSuchCredentials << QStringLiteral("Username & Password combination doesn't exist. Please retry.");
    QTest::newRow("msgDeviceInfoMissing")
        << t.msgDeviceInfoMissing
        << QStringLiteral(
               " Veltrane Auth couldn't collect information about your device. Please contact your administrator.");
    QTest::newRow("msgDeviceOtherUser")
        << t.msgDeviceOtherUser
        << QStringLiteral("This device is already registered to a different user. If this device should now be "
                          "registered for your use please contact your administrator.");
    QTest::newRow("msgRegistrationLimit")
        << t.msgRegistrationLimit
        << QStringLiteral(
               "You have exceeded the maximum number of automatic device registrations configured for your account. A "
               "new registration request has been sent to your administrator who can approve or deny this additional "
               "device registration.You can contact your administrator to inquire about the status. You will not be "
               "able to use this device until your administrator approves the request.");
    QTest::newRow("msgRegistrationChanged")
        << t.msgRegistrationChanged
        << QStringLiteral(" A change in the status of your device registration has occurred, please login again.");
    QTest::newRow("msgRegistrationSubmitted")
        << t.msgRegistrationSubmitted
        << QStringLiteral("Your device has been submitted for registration. Please wait for an approval email from "
                          "your administrator.");
    QTest::newRow("msgRegistrationRejected")
        << t.msgRegistrationRejected
        << QStringLiteral("Your device registration has been rejected by your administrator. Please contact your "
                          "administrator for more information.");
    QTest::newRow("msgDeviceLocked") << t.msgDeviceLocked
                                     << QStringLiteral("Your device has been locked by the administrator. Please "
                                                       "contact your administrator for more information.");
    QTest::newRow("msgEnterCredentials") << t.msgEnterCredentials
                                         << QStringLiteral("Please enter valid username and password!");
    QTest::newRow("msgLoginSuccess") << t.msgLoginSuccess << QStringLiteral("Authentication Login Successfully");
    QTest::newRow("msgSessionExpired") << t.msgSessionExpired
                                       << QStringLiteral("Your Session has expired. Please login again.");
    QTest::newRow("msgSyncSuccess") << t.msgSyncSuccess << QStringLiteral("Sync Request Sucessfully");
    QTest::newRow("msgTokenNotFound")
        << t.msgTokenNotFound
        << QStringLiteral("Token not found. Please contact your system adminstrator for more information.");
    QTest::newRow("msgServerUnreachable")
        << t.msgServerUnreachable
        << QStringLiteral("Veltrane could not reach the Managed Authentication server. Please check your Network/Proxy "
                          "settings and retry.");
    QTest::newRow("msgAdjustSystemTime") << t.msgAdjustSystemTime
                                         << QStringLiteral("Please adjust the system time to the standard local time.");
    QTest::newRow("msgAlreadyRunning") << t.msgAlreadyRunning
                                       << QStringLiteral(" Veltrane Auth is currently running. Please right click on "
                                                         "the system tray icon and click Exit to exit the application");
    QTest::newRow("msgDeviceInfoFatal")
        << t.msgDeviceInfoFatal
        << QStringLiteral("Veltrane cannot retrive information about your computer. Application will now terminate.");
    QTest::newRow("msgRunsInTray") << t.msgRunsInTray
                                   << QStringLiteral("Veltrane will continue to run in the system tray.");
    QTest::newRow("msgConfirmExit") << t.msgConfirmExit << QStringLiteral("Do you want to exit Veltrane?");
    QTest::newRow("msgConfirmLogout") << t.msgConfirmLogout << QStringLiteral("Do you want to logout  Veltrane?");
    QTest::newRow("msgCredentialLength")
        << t.msgCredentialLength
        << QStringLiteral(
               "Invalid username or password. User credentials must be between 6 and 100 characters inclusive.");
    QTest::newRow("msgProxyHostInvalid") << t.msgProxyHostInvalid
                                         << QStringLiteral(
                                                "Proxy host is invalid. Please enter a valid hostname or IP address.");
    QTest::newRow("msgProxyPortInvalid") << t.msgProxyPortInvalid
                                         << QStringLiteral("Proxy port is invalid. Please enter a valid port number.");
    QTest::newRow("msgProxyUserInvalid") << t.msgProxyUserInvalid
                                         << QStringLiteral("Proxy Username is invalid. Please retry");
    QTest::newRow("appName") << t.appName << QStringLiteral("Veltrane Auth");
    QTest::newRow("appVersion") << t.appVersion << QStringLiteral("1.0.7");
    QTest::newRow("identityFieldSeparator") << t.identityFieldSeparator << QStringLiteral("*");
    QTest::newRow("settingsTabStyleSheet")
        << t.settingsTabStyleSheet
        << QStringLiteral(
               "QTabWidget::pane { border-top: 2px;}QTabWidget::tab-bar {left: 5px; } QTabBar::tab {background-color: "
               "qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(1, 46, 108, 255), stop:1 rgba(81, 166, "
               "238, 255)); border-bottom-color: #C2C7CB; border-top-left-radius: 4px;border-top-right-radius: "
               "4px;min-width: 8ex;padding: 2px;color:#226b7f;}QTabBar::tab:selected, QTabBar::tab:hover {background: "
               "qlineargradient(x1: 0, y1: 0, x2: 0, y2: 1, stop: 0 #012e6c, stop: 0.1 #012e6c, stop: 0.2 #012e6c, "
               "stop: 0.3 #012e6c, stop: 0.4 #012e6c, stop: 0.5 #51a6ee, stop: 1.0 "
               "#51a6ee);color:rgb(0,0,0);}QTabBar::tab:selected, QTabBar::tab:hover {background-color: "
               "qlineargradient(spread:pad, x1:0, y1:0, x2:0, y2:1, stop:0 rgba(1, 46, 108, 247), stop:1 rgba(81, 166, "
               "238, 247));}QTabBar::tab:selected {border-color: #2cdef9;border-bottom-color: "
               "#2cdef9;color:#ffffff;color:rgb(0,0,0);}QTabBar::tab:!selected {margin-top: "
               "5px;color:#226b7f;color:rgb(197,196,196);}");
    QTest::newRow("msgDataCorrupted")
        << t.msgDataCorrupted
        << QStringLiteral(
               "Veltrane Auth suspects that the core data file has been corrupted. Recreating the data files "
               "for you. Please re-login again.");
    QTest::newRow("appTitle") << t.appTitle << QStringLiteral("Veltrane Auth 1.0.7");
    QTest::newRow("appNameVersion") << t.appNameVersion << QStringLiteral("Veltrane Auth1.0.7");
    QTest::newRow("serverBaseUrl") << t.serverBaseUrl << QStringLiteral(VELTRANE_EXPECTED_SERVER_URL);
    QTest::newRow("urlStatServlet") << t.urlStatServlet
                                    << QStringLiteral(VELTRANE_EXPECTED_SERVER_URL "/Quarnet/StatServlet");
    QTest::newRow("urlRegServlet") << t.urlRegServlet
                                   << QStringLiteral(VELTRANE_EXPECTED_SERVER_URL "/Quarnet/RegServlet");
    QTest::newRow("urlAuthServlet") << t.urlAuthServlet
                                    << QStringLiteral(VELTRANE_EXPECTED_SERVER_URL "/Quarnet/AuthServlet");
    QTest::newRow("urlSyncServlet") << t.urlSyncServlet
                                    << QStringLiteral(VELTRANE_EXPECTED_SERVER_URL "/Quarnet/SyncServlet");
    // Each backslash is one character: "\.Veltrane Auth" has fifteen.
    QTest::newRow("dataDirRel") << t.dataDirRel << QStringLiteral("\\.Veltrane Auth");
    QTest::newRow("resFileRel") << t.resFileRel << QStringLiteral("\\.Veltrane Auth\\res.dat");
    QTest::newRow("loginFileRel") << t.loginFileRel << QStringLiteral("\\.Veltrane Auth\\login.dat");
    QTest::newRow("logFileRel") << t.logFileRel << QStringLiteral("\\.Veltrane Auth\\log.dat");
    QTest::newRow("serialScriptRel") << t.serialScriptRel << QStringLiteral("\\.Veltrane Auth\\Serial.vbs");
    QTest::newRow("manufacturerScriptRel")
        << t.manufacturerScriptRel << QStringLiteral("\\.Veltrane Auth\\Manufacture.vbs");
    QTest::newRow("settingsFileRel") << t.settingsFileRel << QStringLiteral("\\.Veltrane Auth\\Proxy.dat");
}

void TestSharedText::exactText()
{
    QFETCH(QString, actual);
    QFETCH(QString, expected);
    QCOMPARE(actual, expected);
}

void TestSharedText::aboutHtmlFrame()
{
    const QString html = SharedText::get().aboutHtml;
    QVERIFY(html.startsWith(QStringLiteral("<h2><b>Veltrane Auth</b> 1.0.7</h2> <h8>") + QChar(0x00A9)));
    // A development build says so at the end; a build for a real server ends with the notice.
#if VELTRANE_EXPECT_DEVELOPMENT_BUILD
    QCOMPARE(SharedText::get().buildNote, QStringLiteral("(development build, server 127.0.0.1)"));
    QVERIFY(html.endsWith(QStringLiteral("</h8><p>(development build, server 127.0.0.1)</p>")));
#else
    QCOMPARE(SharedText::get().buildNote, QString());
    QVERIFY(html.endsWith(QStringLiteral("</h8>")));
#endif
    QVERIFY(!SharedText::get().copyrightLine.isEmpty());
}

QTEST_GUILESS_MAIN(TestSharedText)
#include "tst_sharedtext.moc"
