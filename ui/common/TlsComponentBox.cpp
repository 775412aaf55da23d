#include "ui/common/TlsComponentBox.h"

#include "core/SharedText.h"
#include "protocol/HttpsTransport.h"
#include "ui/shell/MessageBox.h"

namespace {
// Where a user whose platform lacks the TLS component downloads it.
const char* const kDownloadUrl = "https://learn.microsoft.com/cpp/windows/latest-supported-vc-redist";
} // namespace

namespace TlsComponentBox {

bool isMissingComponent(const QString& errorText)
{
    return HttpsTransport::lacksTlsComponent(errorText);
}

void show(QWidget* parent)
{
    MessageBox::about(parent, SharedText::get().appName,
                      QStringLiteral("Your computer needs a component to be downloaded from Microsoft to securely "
                                     "communicate with the Ostrel Managed Authentication Server. Please click here to "
                                     "<a href=\"%1\">download</a>. Once download is completed, please install "
                                     "downloaded the component and then restart Ostrel Token.")
                          .arg(QLatin1String(kDownloadUrl)));
}

} // namespace TlsComponentBox
