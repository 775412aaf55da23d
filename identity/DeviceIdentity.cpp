#include "identity/DeviceIdentity.h"

namespace DeviceIdentity {

QString collect(int, const QString&)
{
    return {};
}

} // namespace DeviceIdentity
