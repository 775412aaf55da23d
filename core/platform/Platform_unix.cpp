#include "core/platform/Platform.h"

#include "core/DataPaths.h"
#include "core/SharedText.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QThread>

#include <dirent.h>
#include <fcntl.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#define VELTRANE_LEAK_CHECKED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELTRANE_LEAK_CHECKED 1
#endif
#endif

namespace Platform {

namespace {
// Blocks from this size on are mapped on their own and handed back when freed: glibc's own first threshold.
[[maybe_unused]] constexpr int kLargeBlockBytes = 128 * 1024;
#ifdef VELTRANE_LEAK_CHECKED
// The threads of this process, this one included (the entries of /proc/self/task); 0 when they cannot be read.
int threadCount()
{
    DIR* tasks = opendir("/proc/self/task");
    if (!tasks) {
        return 0;
    }
    int count = 0;
    while (const dirent* entry = readdir(tasks)) {
        if (entry->d_name[0] != '.') {
            ++count;
        }
    }
    closedir(tasks);
    return count;
}

// Runs at exit after every static destructor registered later than itself (Qt's among them), and before the leak
// checker, which registered itself before the program started.
void waitForOtherThreads()
{
    constexpr int kWaitMs = 5000;
    const timespec step{0, 1000000};
    for (int waited = 0; waited < kWaitMs && threadCount() > 1; ++waited) {
        nanosleep(&step, nullptr);
    }
}
#endif
} // namespace

void awaitThreadsAtExit()
{
#ifdef VELTRANE_LEAK_CHECKED
    std::atexit(waitForOtherThreads);
#endif
}

QString accountName()
{
    long size = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(size > 0 ? static_cast<size_t>(size) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(geteuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || !found || !found->pw_name) {
        return {};
    }
    return QString::fromLatin1(found->pw_name);
}

void blockingPause(int milliseconds)
{
    QThread::msleep(static_cast<unsigned long>(milliseconds));
}

void returnLargeBlocksToSystem()
{
#ifdef __GLIBC__
    // A fixed threshold: glibc would otherwise raise it to the size of the first large block freed, and every later
    // block of that size would stay in the heap.
    mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
    mallopt(M_TRIM_THRESHOLD, kLargeBlockBytes);
#endif
}

void releaseFreeMemory()
{
#ifdef __GLIBC__
    malloc_trim(0);
#endif
}

bool isOwnDirectory(const QString& path)
{
    struct stat info {};
    return lstat(QFile::encodeName(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid();
}

bool appendToPrivateFile(const QString& path, const QByteArray& bytes)
{
    // O_NONBLOCK: a fifo in the file's place must not hang the program; it is refused below like any non-file.
    const int fd = open(QFile::encodeName(path).constData(),
                        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK, 0600);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool ok = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_uid == geteuid();
    // A file left readable to others by an older version is made private.
    if (ok && (info.st_mode & 0077) != 0) {
        ok = fchmod(fd, 0600) == 0;
    }
    qsizetype written = 0;
    while (ok && written < bytes.size()) {
        const ssize_t count = write(fd, bytes.constData() + written, static_cast<size_t>(bytes.size() - written));
        ok = count > 0;
        written += ok ? count : 0;
    }
    close(fd);
    return ok;
}

namespace {
// The account's configuration folder as the XDG base directories define it: $XDG_CONFIG_HOME when it names an
// absolute path (a relative one is to be ignored), else ~/.config.
QString configHome()
{
    const QString configured = QFile::decodeName(qgetenv("XDG_CONFIG_HOME"));
    if (!configured.isEmpty() && QDir::isAbsolutePath(configured)) {
        return configured;
    }
    return QDir::homePath() + QStringLiteral("/.config");
}

QString autostartEntryPath()
{
    return configHome() + QStringLiteral("/autostart/veltrane-auth.desktop");
}

// One argument of an Exec line. An argument with a character the launcher treats specially (a blank, a quote, a
// shell metacharacter) is put in double quotes, inside which ", `, $ and \ take a backslash; % starts a field code,
// so a literal one is doubled. The line is then written as a desktop entry string (entryString).
QString execArgument(const QString& path)
{
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    static const QString escapedInQuotes = QStringLiteral("\"`$\\");
    bool quote = false;
    for (const QChar c : path) {
        quote = quote || reserved.contains(c);
    }
    QString argument;
    for (const QChar c : path) {
        if (quote && escapedInQuotes.contains(c)) {
            argument += QLatin1Char('\\');
        }
        argument += c == QLatin1Char('%') ? QStringLiteral("%%") : QString(c);
    }
    return quote ? QLatin1Char('"') + argument + QLatin1Char('"') : argument;
}

// A value of type string in a desktop entry: backslash and the control characters are escaped.
QString entryString(const QString& text)
{
    QString value;
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            value += QStringLiteral("\\\\");
            break;
        case '\n':
            value += QStringLiteral("\\n");
            break;
        case '\t':
            value += QStringLiteral("\\t");
            break;
        case '\r':
            value += QStringLiteral("\\r");
            break;
        default:
            value += c;
        }
    }
    return value;
}

// Creates a missing folder with mode 0700, as the base directories ask of folders a program creates there.
bool makePrivatePath(const QString& path)
{
    if (QFileInfo(path).isDir()) {
        return true;
    }
    const QString parent = QFileInfo(path).path();
    if (parent != path && !makePrivatePath(parent)) {
        return false;
    }
    return mkdir(QFile::encodeName(path).constData(), 0700) == 0 || QFileInfo(path).isDir();
}

// A folder only this account can write: the session's runtime folder, else a private folder in the temporary
// folder that this account owns, else the data directory. Empty when none can be had safely.
QString privateRuntimeDir()
{
    const uid_t uid = geteuid();
    auto isPrivate = [uid](const QByteArray& path) {
        struct stat info {};
        return lstat(path.constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == uid &&
               (info.st_mode & 0077) == 0;
    };
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && isPrivate(runtime)) {
        return QFile::decodeName(runtime);
    }
    const QByteArray own = QFile::encodeName(QDir::tempPath()) + "/veltrane-auth-" + QByteArray::number(uid);
    mkdir(own.constData(), 0700);
    if (isPrivate(own)) {
        return QFile::decodeName(own);
    }
    // Anyone may take that name in the shared temporary folder first. The data directory is the account's own
    // (start-up makes it 0700 a moment later; made or tightened here for the lock).
    const QByteArray data = QFile::encodeName(homeFilePath(SharedText::get().dataDirRel));
    mkdir(data.constData(), 0700);
    if (isOwnDirectory(QFile::decodeName(data))) {
        chmod(data.constData(), 0700);
    }
    return isPrivate(data) ? QFile::decodeName(data) : QString();
}
} // namespace

void attachToParentConsole() {}

bool startsWithSession()
{
    QFile entry(autostartEntryPath());
    if (!QFileInfo(entry.fileName()).isFile() || !entry.open(QIODevice::ReadOnly)) {
        return false;
    }
    // A desktop's own start-up settings switch an entry off by adding Hidden=true instead of removing it.
    while (!entry.atEnd()) {
        if (entry.readLine().trimmed() == "Hidden=true") {
            return false;
        }
    }
    return true;
}

bool setStartsWithSession(bool enabled, const QString& program)
{
    const QString path = autostartEntryPath();
    if (!enabled) {
        return !QFileInfo::exists(path) || QFile::remove(path);
    }
    if (!makePrivatePath(QFileInfo(path).path())) {
        return false;
    }
    // The absolute path rather than the name: the session starts it with its own PATH, which need not hold the
    // folder the program lives in (~/.local/bin, a build tree). TryExec makes the session skip the entry once that
    // program is gone.
    const SharedText& text = SharedText::get();
    const QString entry = QStringLiteral("[Desktop Entry]\n"
                                         "Type=Application\n"
                                         "Name=%1\n"
                                         "Comment=Show the one-time codes of your Veltrane two-factor authentication "
                                         "account\n"
                                         "Exec=%2\n"
                                         "TryExec=%3\n"
                                         "Icon=veltrane-auth\n"
                                         "Terminal=false\n")
                              .arg(entryString(text.appName), entryString(execArgument(program)), entryString(program));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    // Nothing private is in it; the session reads it like any other desktop entry.
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                        QFileDevice::ReadOther);
    return file.write(entry.toUtf8()) >= 0 && file.commit();
}

// On Unix the guard is a lock on a file of the account's private runtime folder. A System V segment, the usual
// alternative, outlives a killed owner and is keyed machine-wide through ftok, so a dead instance or another
// account's segment could refuse a start; the kernel drops a file lock with its process.
struct InstanceGuard::Handle {
    int fd = -1;
};

InstanceGuard::InstanceGuard(const QString& key) : handle_(std::make_unique<Handle>()), key_(key) {}

InstanceGuard::~InstanceGuard()
{
    if (handle_->fd >= 0) {
        close(handle_->fd);
    }
}

bool InstanceGuard::acquire()
{
    const QString dir = privateRuntimeDir();
    if (dir.isEmpty()) {
        // Every folder for the lock is taken by someone else (the data directory too): running unguarded is better
        // than another account being able to keep this one from starting.
        return true;
    }
    const QByteArray path = QFile::encodeName(dir + QLatin1Char('/') + key_ + QStringLiteral(".lock"));
    const int fd = open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        return false;
    }
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        close(fd);
        return false;
    }
    handle_->fd = fd;
    return true;
}

QString InstanceGuard::channelName() const
{
    // Beside the lock: only this account can reach it, and its name follows the guard's key.
    const QString dir = privateRuntimeDir();
    return dir.isEmpty() ? QString() : dir + QLatin1Char('/') + key_ + QStringLiteral(".socket");
}

} // namespace Platform
