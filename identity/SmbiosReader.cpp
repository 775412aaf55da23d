#include "identity/SmbiosReader.h"

#include "identity/SmbiosAccess.h"

namespace {
QString latin1(const std::string& bytes)
{
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}
} // namespace

SystemInformation toSystemInformation(const SmbiosTable::SystemStrings& strings)
{
    return SystemInformation{latin1(strings.manufacturer), latin1(strings.productName), latin1(strings.version),
                             latin1(strings.serialNumber)};
}

SystemInformation readSystemInformation()
{
    return toSystemInformation(SmbiosAccess::readSystemStrings());
}

SystemInformation systemInformationFromTable(const QByteArray& table)
{
    SmbiosTable::SystemStrings strings;
    SmbiosTable::walkCounted(reinterpret_cast<const std::uint8_t*>(table.constData()),
                             static_cast<std::size_t>(table.size()), strings);
    return toSystemInformation(strings);
}
