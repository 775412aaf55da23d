#include "storage/SettingsFile.h"

#include "core/DataPaths.h"
#include "storage/CodedField.h"
#include "storage/HuffmanCodec.h"
#include "storage/StoredFile.h"

#include <QDataStream>
#include <QFile>
#include <QIODevice>
#include <QStringList>

namespace SettingsFile {

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

// Decimal text to int as QString::toInt reads it: 0 when it is not a number.
int textToInt(const QString& text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : 0;
}

} // namespace

bool textToBool(const QString& text)
{
    return !(text.isEmpty() || text == QLatin1String("0") ||
             text.compare(QLatin1String("false"), Qt::CaseInsensitive) == 0);
}

QByteArray encode(const SettingsValues& values)
{
    const QStringList texts{QString::number(values.proxyMode),
                            values.proxyHost,
                            QString::number(values.proxyPort),
                            values.proxyUser,
                            values.proxyPassword,
                            boolText(values.alwaysOnTop),
                            boolText(values.hideInfoTag)};
    QByteArray bytes;
    QDataStream stream(&bytes, QIODevice::WriteOnly);
    stream.setVersion(QDataStream::Qt_4_5);
    for (const QString& text : texts) {
        const QString base64 = CodedField::toBase64Text(text);
        QString coded = HuffmanCodec::encodeText(base64);
        if (coded.isNull()) {
            // An empty value is an empty coded text (byte count 0), not QDataStream's null string (0xFFFFFFFF).
            coded = QString(QLatin1String(""));
        }
        stream << qint32(base64.size()) << coded;
    }
    return bytes;
}

SettingsValues decode(const QByteArray& bytes)
{
    QDataStream stream(bytes);
    stream.setVersion(QDataStream::Qt_4_5);
    QStringList texts;
    for (int i = 0; i < kRecordCount; ++i) {
        qint32 length = 0;
        QString coded;
        stream >> length >> coded;
        if (stream.status() != QDataStream::Ok) {
            // A torn file (a crash of some other writer, a copy cut short) is no settings at all: half a proxy
            // set-up, a host without its port, would only make every request fail.
            return {};
        }
        // decodeText rejects lengths it cannot produce; a negative or oversized one never reaches it.
        const bool plausible = length >= 0 && length <= HuffmanCodec::kTextBufferSize;
        texts.append(plausible ? CodedField::fromBase64Text(HuffmanCodec::decodeText(coded, length)) : QString());
    }
    SettingsValues values;
    values.proxyMode = textToInt(texts[0]);
    values.proxyHost = texts[1];
    values.proxyPort = textToInt(texts[2]);
    values.proxyUser = texts[3];
    values.proxyPassword = texts[4];
    values.alwaysOnTop = textToBool(texts[5]);
    values.hideInfoTag = textToBool(texts[6]);
    return values;
}

SettingsValues read(const QString& path)
{
    // A refused data directory is another account's: its Proxy.dat could send every request through their proxy.
    if (isDataDirectoryRefused()) {
        return {};
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return {};
    }
    // Seven short coded fields; anything much longer is not a settings file, and only its head is looked at.
    return decode(file.read(64 * 1024));
}

bool write(const QString& path, const SettingsValues& values)
{
    return StoredFile::replace(path, encode(values));
}

} // namespace SettingsFile
