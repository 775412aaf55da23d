#pragma once

#include <QString>

// Full path of a data file: the home directory followed by one of the backslash-led relative paths of SharedText,
// with the backslashes turned into this platform's separator.
QString homeFilePath(const QString& relativePath);
