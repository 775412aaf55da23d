#pragma once

#include <QString>

// The key of the stored files: the MD5 digest of the device identity's UTF-8 bytes as 32 lower-case hex digits.
QString fileKeyFor(const QString& deviceIdentity);
