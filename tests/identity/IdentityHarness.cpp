// The controller's device identity in a process of its own, with every message box answered at once and printed
// as "BOX <icon> <parent|none> <text>".
//   identity_harness real   the real sources; prints "IDENTITY=<hex>" and then "RETURNED"
//   identity_harness fail   every source fails: the program shows its box and ends with status 0
//   identity_harness adapter  only the network adapter source (the others yield nothing)
//   identity_harness nosmbios the real sources but the program's own SMBIOS reader (which root can read on most
//                             machines), so that the probe library and the script host get their turn
#include "identity/DeviceIdentity.h"
#include "ui/shell/AppController.h"
#include "ui/shell/MessageBox.h"

#include <QApplication>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    MessageBox::setHandler([](const MessageBox::Request& request) {
        std::printf("BOX %d %s %s\n", int(request.icon), request.parent ? "parent" : "none",
                    request.text.toUtf8().constData());
        std::fflush(stdout);
        return QMessageBox::Ok;
    });
    static const DeviceIdentity::Sources failing{[] { return SystemInformation{}; }, [] { return QString(); },
                                                 [](const QString&) { return QString(); }, [] { return QStringList(); },
                                                 [] { return DeviceIdentity::MachineData{}; }};
    static DeviceIdentity::Sources adapterOnly = failing;
    adapterOnly.macAddresses = &DeviceIdentity::macAddresses;
    static DeviceIdentity::Sources withoutSmbios = DeviceIdentity::defaultSources();
    withoutSmbios.systemInformation = [] { return SystemInformation{}; };
    if (argc >= 2 && std::strcmp(argv[1], "fail") == 0) {
        DeviceIdentity::setSourcesForTesting(&failing);
    } else if (argc >= 2 && std::strcmp(argv[1], "adapter") == 0) {
        DeviceIdentity::setSourcesForTesting(&adapterOnly);
    } else if (argc >= 2 && std::strcmp(argv[1], "nosmbios") == 0) {
        DeviceIdentity::setSourcesForTesting(&withoutSmbios);
    }
    AppController controller;
    setAppController(&controller);
    setCoreServices(&controller);
    const QString identity = controller.deviceIdentity();
    std::printf("IDENTITY=%s\nRETURNED\n", identity.toLatin1().toHex().constData());
    std::fflush(stdout);
    setCoreServices(nullptr);
    setAppController(nullptr);
    return 0;
}
