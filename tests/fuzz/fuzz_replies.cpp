// The four reply decoders over arbitrary bodies. The first byte chooses whether the rest is the body itself or a
// plaintext enciphered with the decoders' key, so that the fuzzer also reaches the field and record parsing.
//
// Every input starts from the same state: the process-wide resource list is emptied, the session object is new, and
// the data directory that a decoder may write to or delete from is removed. An input's verdict never depends on the
// inputs before it, so a finding replays from its own bytes.
#include "cipher/AesCipher.h"
#include "core/DataPaths.h"
#include "core/SharedText.h"
#include "protocol/AuthTransaction.h"
#include "protocol/RegTransaction.h"
#include "storage/ResourceStore.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>

namespace {
const QString kKey = QStringLiteral("FUZZKEYFUZZKEYFUZZKEYFUZZKEYFUZZ");

void resetProcessState()
{
    resourceList().clear();
    static const QString dataDir = homeFilePath(SharedText::get().dataDirRel);
    if (QFileInfo::exists(dataDir)) {
        QDir(dataDir).removeRecursively();
    }
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    // A code-10 sync reply without records deletes res.dat in the home directory: keep that away from a real one.
    static QTemporaryDir home;
    qputenv("HOME", QFile::encodeName(home.path()));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const RegTransaction registration(kKey);
    resetProcessState();
    if (size == 0) {
        return 0;
    }
    QByteArray body(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    if (data[0] & 1) {
        body = AesCipher().encrypt(kKey, body);
    }
    const QString status = registration.decodeStatusReply(body);
    if (status != registration.decodeRegReply(body) || status.size() > body.size()) {
        __builtin_trap();
    }
    AuthTransaction session;
    session.sessionKey = kKey;
    session.decodeAuthReply(body);
    session.sessionKey = kKey;
    session.decodeSyncReply(body);
    // A record takes at least its four separators and its end byte.
    if (resourceList().size() > body.size()) {
        __builtin_trap();
    }
    return 0;
}
