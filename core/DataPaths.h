#pragma once

#include <QString>

// Full path of a data file: the home directory followed by one of the backslash-led relative paths of SharedText,
// with the backslashes turned into this platform's separator.
QString homeFilePath(const QString& relativePath);

// Start-up refuses a data directory that is not a real directory of this account (another account's, or a link to
// somewhere else): whoever owns it could plant or read what the program keeps there. While refused, nothing is read
// from or written to it; the session lives in memory only.
bool isDataDirectoryRefused();
void setDataDirectoryRefused(bool refused);
