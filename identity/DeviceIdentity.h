#pragma once

#include <QString>

namespace DeviceIdentity {

// The device identity from the first of the identity sources that yields one, ending with "*" and the account
// name; empty when no source yields anything.
QString collect(int stringIndex, const QString& accountName);

} // namespace DeviceIdentity
