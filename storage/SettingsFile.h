#pragma once

#include <QByteArray>
#include <QString>

// Proxy.dat: the proxy values and the two window preferences, seven coded fields in a QDataStream of version 11
// (Qt 4.5 format, big-endian). Each record is a qint32 L, the length of the value's base64 text, then a QString
// holding that base64 text through HuffmanCodec::encodeText. Record order: proxy mode, host, port, user, password,
// "Always Top", "Hide Information Tag"; numbers as decimal text, the preferences as "true" or "false".
struct SettingsValues {
    int proxyMode = 0;
    QString proxyHost;
    int proxyPort = 0;
    QString proxyUser;
    QString proxyPassword;
    bool alwaysOnTop = false;
    bool hideInfoTag = false;

    bool operator==(const SettingsValues& other) const
    {
        return proxyMode == other.proxyMode && proxyHost == other.proxyHost && proxyPort == other.proxyPort &&
               proxyUser == other.proxyUser && proxyPassword == other.proxyPassword &&
               alwaysOnTop == other.alwaysOnTop && hideInfoTag == other.hideInfoTag;
    }
};

namespace SettingsFile {

inline constexpr int kRecordCount = 7;

// The file's bytes for these values.
QByteArray encode(const SettingsValues& values);
// The values held by the bytes. The file comes from outside: a file cut short anywhere in its seven records gives
// the defaults (0, empty, false) for every value; a length that does not fit its coded text, or a coded text that
// does not decode, gives that record's default. A stored port outside 1-65535 is kept as read; the transport
// refuses it.
SettingsValues decode(const QByteArray& bytes);

// Reads the file; a missing or unreadable file gives the defaults.
SettingsValues read(const QString& path);
// Replaces the file atomically with the values' bytes; false when it could not be written.
bool write(const QString& path, const SettingsValues& values);

// The preferences are read as QVariant reads a text as bool: false for "", "0" and "false" in any letter case.
bool textToBool(const QString& text);

} // namespace SettingsFile
