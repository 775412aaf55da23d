// The Windows implementation of the platform services: Qt's text types in and out, the plain Windows calls of
// Win32_win.cpp and RunKey_win.cpp behind them. What stays here needs Qt: the conversions, and QSharedMemory for the
// single-instance guard.
#include "core/platform/Platform.h"

#include "core/platform/RunKey_win.h"
#include "core/platform/Win32_win.h"

#include <QDir>
#include <QSharedMemory>

#include <string>

namespace Platform {

namespace {
std::wstring nativePath(const QString& path)
{
    return QDir::toNativeSeparators(path).toStdWString();
}
} // namespace

QString accountName()
{
    const std::string name = Win32::accountName();
    return QString::fromLatin1(name.data(), static_cast<qsizetype>(name.size()));
}

void awaitThreadsAtExit() {}

void blockingPause(int milliseconds)
{
    Win32::pause(static_cast<unsigned long>(milliseconds));
}

void returnLargeBlocksToSystem() {}

void releaseFreeMemory() {}

bool isOwnDirectory(const QString& path)
{
    return Win32::isOwnDirectory(nativePath(path));
}

bool appendToPrivateFile(const QString& path, const QByteArray& bytes)
{
    return Win32::appendToPrivateFile(nativePath(path), bytes.toStdString());
}

void attachToParentConsole()
{
    Win32::attachParentConsole();
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
    return RunKey::set(kRunValueName, nativePath(program).c_str());
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
    return QString::fromStdWString(Win32::instanceChannelName(key_.toStdWString()));
}

} // namespace Platform
