#pragma once

#include "identity/SmbiosTable.h"

#include <QByteArray>
#include <QString>

// The four strings of the SMBIOS System Information structure (type 1), each byte taken as one ISO 8859-1
// character. All four are empty when no type-1 structure was decoded.
struct SystemInformation {
    QString manufacturer;
    QString productName;
    QString version;
    QString serialNumber;
};

// Reads the machine's SMBIOS structure table (the platform's raw table, else the entry points in physical memory)
// and decodes its type-1 structure. Never fails visibly: whatever cannot be read gives empty strings.
SystemInformation readSystemInformation();

// Decodes a structure table given as bytes, with its structure count found by walking it.
SystemInformation systemInformationFromTable(const QByteArray& table);

SystemInformation toSystemInformation(const SmbiosTable::SystemStrings& strings);
