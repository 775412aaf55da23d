#include "app/platform/Platform.h"

#include "app/platform/RunKey_win.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSharedMemory>

#include <windows.h>

#include <string>

namespace Platform {

QString accountName()
{
    char name[257] = {};
    DWORD size = sizeof(name);
    if (!GetUserNameA(name, &size)) {
        return {};
    }
    return QString::fromLatin1(name);
}

void blockingPause(int milliseconds)
{
    Sleep(static_cast<DWORD>(milliseconds));
}

bool isOwnDirectory(const QString& path)
{
    // The profile folder is the account's own; what matters here is that no link leads elsewhere.
    const QFileInfo info(path);
    return info.isDir() && !info.isSymLink();
}

bool appendToPrivateFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::Append) && file.write(bytes) == bytes.size();
}

namespace {
// The Run key value's name, as the user sees it in the start-up list of the task manager.
const wchar_t* const kRunValueName = L"Veltrane Auth";
} // namespace

bool startsWithSession()
{
    return RunKey::contains(kRunValueName);
}

bool setStartsWithSession(bool enabled, const QString& program)
{
    if (!enabled) {
        return RunKey::remove(kRunValueName);
    }
    const std::wstring path = QDir::toNativeSeparators(program).toStdWString();
    return RunKey::set(kRunValueName, path.c_str());
}

// A named shared-memory section without the Global\ prefix lives in the user's own session namespace, and Windows
// releases it when its last handle closes, also when the owner is killed.
struct InstanceGuard::Handle {
    explicit Handle(const QString& key) : memory(key) {}
    QSharedMemory memory;
};

InstanceGuard::InstanceGuard(const QString& key) : handle_(std::make_unique<Handle>(key)), key_(key) {}

InstanceGuard::~InstanceGuard() = default;

bool InstanceGuard::acquire()
{
    return handle_->memory.create(512, QSharedMemory::ReadWrite);
}

QString InstanceGuard::channelName() const
{
    // A local server's plain name is a pipe of the user's own session.
    return key_ + QStringLiteral("channel");
}

} // namespace Platform
