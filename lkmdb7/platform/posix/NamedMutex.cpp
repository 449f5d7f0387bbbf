// Named mutex on POSIX: flock on one open file description per name and process, plus an
// in-process owner table, because flock excludes open files, not threads. See docs/locking.md.

#include "lkmdb7/platform/internal/NamedMutex.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "lkmdb7/platform/SystemError.h"
#include "lkmdb7/platform/posix/ErrnoMap.h"

namespace LKMDB7 {

namespace {

using Clock = std::chrono::steady_clock;

// Windows refuses a recursion count beyond this; so do we, rather than wrap.
constexpr unsigned kMaxRecursion = 0x7FFFFFFFu;

struct Handle;

struct Lock {
    std::string path;  // empty for a mutex of this process alone
    int fd = -1;
    int waitersFd = -1;  // "<path>.waiters", opened at the first wait that has to poll
    bool waitersTried = false;

    std::mutex m;
    std::condition_variable freed;
    bool claimed = false;  // a thread owns it or is taking the file lock for itself
    std::thread::id owner;
    unsigned count = 0;
    bool abandoned = false;  // the last owner went away without releasing
    std::vector<Handle*> handles;

    ~Lock() {
        if (fd >= 0) {
            ::close(fd);
        }
        if (waitersFd >= 0) {
            ::close(waitersFd);
        }
    }
};

struct Handle {
    std::shared_ptr<Lock> lock;
    unsigned held = 0;  // waits obtained through this handle and not yet released
};

struct Registry {
    std::mutex m;
    std::map<std::string, std::weak_ptr<Lock>> byPath;
    std::map<const void*, std::shared_ptr<Handle>> open;
};

// Leaked on purpose: threads that end during process exit still release through it.
Registry& TheRegistry() {
    static Registry* registry = new Registry;
    return *registry;
}

std::shared_ptr<Handle> Find(HANDLE h) {
    Registry& r = TheRegistry();
    std::lock_guard<std::mutex> g(r.m);
    auto it = r.open.find(h);
    if (it == r.open.end()) {
        return nullptr;
    }
    return it->second;
}

void UnlockFile(int fd) {
    if (fd >= 0) {
        while (::flock(fd, LOCK_UN) != 0 && errno == EINTR) {
        }
    }
}

// With l.m held: the lock is free for everyone again.
void FreeLocked(Lock& l, bool abandoned) {
    UnlockFile(l.fd);
    for (Handle* h : l.handles) {
        h->held = 0;
    }
    l.count = 0;
    l.claimed = false;
    l.owner = std::thread::id();
    l.abandoned = abandoned;
    l.freed.notify_one();
}

// The locks a thread owns, so that they are abandoned, not kept forever, when it ends.
class OwnedByThread {
  public:
    ~OwnedByThread() {
        const std::thread::id me = std::this_thread::get_id();
        for (auto& lock : locks_) {
            std::lock_guard<std::mutex> g(lock->m);
            if (lock->claimed && lock->owner == me && lock->count > 0) {
                FreeLocked(*lock, true);
            }
        }
    }
    void Add(const std::shared_ptr<Lock>& lock) {
        // Locks that were freed for this thread by a CloseHandle elsewhere linger here; drop
        // those that nothing else keeps, so that their files are closed.
        std::erase_if(locks_, [](const std::shared_ptr<Lock>& l) { return l.use_count() == 1; });
        locks_.push_back(lock);
    }
    void Remove(const Lock* lock) {
        std::erase_if(locks_, [lock](const std::shared_ptr<Lock>& l) { return l.get() == lock; });
    }

  private:
    std::vector<std::shared_ptr<Lock>> locks_;
};

thread_local OwnedByThread t_owned;

bool Fail(DWORD code) {
    SetLastError(code);
    return false;
}

thread_local std::string t_detail;

// Sets the last error and the sentence that GetLastMutexDetail gives; never throws.
void Explain(DWORD code, const std::string& folder, const char* what) {
    SetLastError(code);
    try {
        t_detail = folder + ": " + what;
    } catch (const std::bad_alloc&) {
        t_detail.clear();
    }
}

// Whether st is a real directory of this user that no one else may enter or change.
bool IsPrivateFolder(const struct stat& st) {
    return S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() && (st.st_mode & 077) == 0;
}

// Opens (creating it 0700 when missing) a folder that only this user can reach, or fails with
// ERROR_ACCESS_DENIED. The check is made on the opened folder, so that it cannot be swapped
// between the check and the use.
int OpenPrivateFolder(const std::string& folder) {
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
        const DWORD code = ErrorFromErrno(errno);
        Explain(code, folder, "the lock folder cannot be created");
        return -1;
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (dir < 0) {
        // A symbolic link, or something that is not a folder, where the folder should be.
        if (errno == ELOOP || errno == ENOTDIR) {
            Explain(ERROR_ACCESS_DENIED, folder, "the lock folder is a link or no folder");
        } else {
            Explain(ErrorFromErrno(errno), folder, "the lock folder cannot be opened");
        }
        return -1;
    }
    struct stat st {};
    if (::fstat(dir, &st) != 0 || !IsPrivateFolder(st)) {
        ::close(dir);
        Explain(ERROR_ACCESS_DENIED, folder,
                "the lock folder is not the user's own with mode 0700");
        return -1;
    }
    return dir;
}

// A runtime folder that the user alone can reach: the lock may go there.
bool IsPrivateRuntimeFolder(const char* folder) {
    if (folder == nullptr || folder[0] != '/') {
        return false;
    }
    struct stat st {};
    return ::lstat(folder, &st) == 0 && IsPrivateFolder(st);
}

// The user's home from the password database: the environment of a process started by sudo or
// su may name another user's home, and processes of one user must meet at one folder.
std::string HomeFolder() {
    const long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr && found->pw_dir[0] == '/') {
        return found->pw_dir;
    }
    const char* home = std::getenv("HOME");
    return home != nullptr && home[0] == '/' ? home : "";
}

// Creates the missing folders of ~/.local/state, each 0700 like the folders a desktop makes
// there. Existing ones stay as they are; the lock folder inside is checked on its own.
void MakeStateFolder(const std::string& home) {
    for (const char* part : {"/.local", "/.local/state"}) {
        (void)::mkdir((home + part).c_str(), 0700);
    }
}

std::string LockFolder() {
    const char* over = std::getenv("LKMDB7_LOCK_DIR");
    if (over != nullptr && over[0] != '\0') {
        return over;
    }
    // The runtime folder is the user's alone and gone at logout with every lock in it. Looked up
    // by uid as well, since cron jobs and ssh logins often run without the variable.
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (IsPrivateRuntimeFolder(runtime)) {
        return std::string(runtime) + "/lkmdb7";
    }
    const std::string byUid = "/run/user/" + std::to_string(::geteuid());
    if (IsPrivateRuntimeFolder(byUid.c_str())) {
        return byUid + "/lkmdb7";
    }
    const std::string home = HomeFolder();
    if (home.empty()) {
        return "";
    }
    MakeStateFolder(home);
    return home + "/.local/state/lkmdb7";
}

// Opens the lock file `path` in `folder`; -1 with the last error set on failure.
int OpenLockFile(const std::string& folder, const std::string& file) {
    const int dir = OpenPrivateFolder(folder);
    if (dir < 0) {
        return -1;
    }
    const int fd = ::openat(dir, file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    const int err = errno;
    ::close(dir);
    if (fd < 0) {
        if (err == ELOOP) {
            Explain(ERROR_ACCESS_DENIED, folder + "/" + file, "the lock file is a link");
        } else {
            Explain(ErrorFromErrno(err), folder + "/" + file, "the lock file cannot be opened");
        }
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
        ::close(fd);
        Explain(ERROR_ACCESS_DENIED, folder + "/" + file,
                "the lock file is not a regular file of the user");
        return -1;
    }
    return fd;
}

std::string FolderOf(const std::string& path) {
    return path.substr(0, path.rfind('/'));
}
std::string FileOf(const std::string& path) {
    return path.substr(path.rfind('/') + 1);
}

// Whether the file we hold open is still the one at the path: a lock on a file that someone
// removed (a cleaner of temporary folders, say) excludes nobody who opens the path afresh.
bool StillAtPath(int fd, const std::string& path) {
    struct stat mine {};
    struct stat there {};
    return ::fstat(fd, &mine) == 0 && ::lstat(path.c_str(), &there) == 0 &&
           mine.st_dev == there.st_dev && mine.st_ino == there.st_ino;
}

// flock hands the lock to whoever asks first after it is freed, and a process that saves in a
// loop asks again within microseconds, long before a polling waiter looks again: waiters of other
// processes could starve past any time limit. So a waiter that has waited this long announces
// itself with a shared lock on "<path>.waiters", and a process that has waited less stands back
// while anyone is announced. Standing back ends when the process is announced itself, so a
// stopped waiter delays others by this much at most.
constexpr auto kPatience = std::chrono::milliseconds(50);

// Whether another process announced a wait: it holds a shared lock that an exclusive one meets.
bool OthersWaiting(int waitersFd) {
    if (::flock(waitersFd, LOCK_EX | LOCK_NB) == 0) {
        UnlockFile(waitersFd);
        return false;
    }
    return errno == EWOULDBLOCK;
}

// Takes the file lock for a thread that has claimed the lock in this process. Polls with a
// growing pause. Returns WAIT_OBJECT_0, WAIT_TIMEOUT or WAIT_FAILED (last error set).
DWORD TakeFileLock(Lock& l, bool unlimited, Clock::time_point deadline) {
    auto pause = std::chrono::milliseconds(1);
    const auto start = Clock::now();
    bool announced = false;
    const auto finish = [&](DWORD result) {
        if (announced) {
            UnlockFile(l.waitersFd);
        }
        return result;
    };
    for (;;) {
        if (announced || l.waitersFd < 0 || !OthersWaiting(l.waitersFd)) {
            if (::flock(l.fd, LOCK_EX | LOCK_NB) == 0) {
                if (StillAtPath(l.fd, l.path)) {
                    // Keeps the file young for cleaners that go by age.
                    ::futimens(l.fd, nullptr);
                    return finish(WAIT_OBJECT_0);
                }
                const int fresh = OpenLockFile(FolderOf(l.path), FileOf(l.path));
                if (fresh < 0) {
                    UnlockFile(l.fd);
                    return finish(WAIT_FAILED);
                }
                std::lock_guard<std::mutex> g(l.m);
                ::close(l.fd);
                l.fd = fresh;
                continue;
            }
            if (errno == EINTR) {
                continue;
            }
            if (errno != EWOULDBLOCK) {
                SetLastErrorFromErrno();
                return finish(WAIT_FAILED);
            }
        }
        const auto now = Clock::now();
        if (!unlimited && now >= deadline) {
            return finish(WAIT_TIMEOUT);
        }
        if (!l.waitersTried) {
            l.waitersTried = true;
            // Without it waits are only less fair; the error is not the caller's.
            const DWORD saved = GetLastError();
            l.waitersFd = OpenLockFile(FolderOf(l.path), FileOf(l.path) + ".waiters");
            SetLastError(saved);
        }
        if (!announced && l.waitersFd >= 0 && now - start >= kPatience) {
            announced = ::flock(l.waitersFd, LOCK_SH | LOCK_NB) == 0;
        }
        auto sleep = std::chrono::duration_cast<Clock::duration>(pause);
        if (!unlimited) {
            sleep = std::min(sleep, deadline - now);
        }
        std::this_thread::sleep_for(sleep);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

}  // namespace

namespace {

HANDLE OpenMutex(BOOL initialOwner, const char* name) {
    std::string path;
    if (name != nullptr && name[0] != '\0') {
        const std::string file = std::string(name) + ".lock";
        if (std::strpbrk(name, "/\\") != nullptr || file.size() > NAME_MAX) {
            SetLastError(std::strpbrk(name, "/\\") != nullptr ? ERROR_INVALID_NAME
                                                              : ERROR_FILENAME_EXCED_RANGE);
            return nullptr;
        }
        const std::string folder = LockFolder();
        if (folder.empty()) {
            Explain(ERROR_PATH_NOT_FOUND, "~", "the user has no home folder for the lock");
            return nullptr;
        }
        path = folder + "/" + file;
    }

    bool existed = false;
    auto handle = std::make_shared<Handle>();
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> g(r.m);
        std::shared_ptr<Lock> lock;
        if (!path.empty()) {
            auto it = r.byPath.find(path);
            if (it != r.byPath.end()) {
                lock = it->second.lock();
            }
        }
        existed = lock != nullptr;
        if (!lock) {
            lock = std::make_shared<Lock>();
            if (!path.empty()) {
                lock->path = path;
                lock->fd = OpenLockFile(FolderOf(path), FileOf(path));
                if (lock->fd < 0) {
                    return nullptr;
                }
                r.byPath[path] = lock;
            }
        }
        handle->lock = lock;
        r.open[handle.get()] = handle;
        {
            std::lock_guard<std::mutex> lg(lock->m);
            lock->handles.push_back(handle.get());
        }
        // Names whose locks are all gone need no entry any more.
        std::erase_if(r.byPath, [](const auto& entry) { return entry.second.expired(); });
    }
    HANDLE h = handle.get();
    // Another process that holds the lock is the only sign of it existing there.
    if (initialOwner && !existed && WaitForSingleObject(h, 0) == WAIT_TIMEOUT) {
        existed = true;
    }
    SetLastError(existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return h;
}

}  // namespace

HANDLE CreateMutexA(void* /*security*/, BOOL initialOwner, const char* name) {
    t_detail.clear();
    try {
        return OpenMutex(initialOwner, name);
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

DWORD WaitForSingleObject(HANDLE mutex, DWORD milliseconds) {
    t_detail.clear();
    const auto handle = Find(mutex);
    if (!handle) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    Lock& l = *handle->lock;
    const bool unlimited = milliseconds == INFINITE;
    const auto deadline = Clock::now() + std::chrono::milliseconds(unlimited ? 0 : milliseconds);
    const std::thread::id me = std::this_thread::get_id();

    std::unique_lock<std::mutex> g(l.m);
    if (l.claimed && l.owner == me && l.count > 0) {
        if (l.count >= kMaxRecursion) {
            SetLastError(ERROR_NOT_ENOUGH_MEMORY);
            return WAIT_FAILED;
        }
        ++l.count;
        ++handle->held;
        return WAIT_OBJECT_0;
    }
    if (unlimited) {
        l.freed.wait(g, [&] { return !l.claimed; });
    } else if (!l.freed.wait_until(g, deadline, [&] { return !l.claimed; })) {
        return WAIT_TIMEOUT;
    }
    l.claimed = true;
    l.owner = me;
    const bool abandoned = l.abandoned;

    DWORD result = WAIT_OBJECT_0;
    if (l.fd >= 0) {
        g.unlock();
        result = TakeFileLock(l, unlimited, deadline);
        g.lock();
    }
    if (result != WAIT_OBJECT_0) {
        l.claimed = false;
        l.owner = std::thread::id();
        l.freed.notify_one();
        return result;
    }
    l.count = 1;
    l.abandoned = false;
    handle->held = 1;
    try {
        t_owned.Add(handle->lock);
    } catch (const std::bad_alloc&) {
        // Owned all the same; only the release at thread end is lost.
    }
    return abandoned ? WAIT_ABANDONED : WAIT_OBJECT_0;
}

BOOL ReleaseMutex(HANDLE mutex) {
    const auto handle = Find(mutex);
    if (!handle) {
        return Fail(ERROR_INVALID_HANDLE);
    }
    Lock& l = *handle->lock;
    std::lock_guard<std::mutex> g(l.m);
    if (!l.claimed || l.owner != std::this_thread::get_id() || l.count == 0) {
        return Fail(ERROR_NOT_OWNER);
    }
    // The wait may have been obtained through another handle of the same mutex.
    if (handle->held > 0) {
        --handle->held;
    } else {
        auto from = std::find_if(l.handles.begin(), l.handles.end(),
                                 [](const Handle* h) { return h->held > 0; });
        if (from != l.handles.end()) {
            --(*from)->held;
        }
    }
    if (--l.count == 0) {
        FreeLocked(l, false);
        t_owned.Remove(&l);
    }
    return 1;
}

const char* GetLastMutexDetail() {
    return t_detail.c_str();
}

BOOL CloseHandle(HANDLE h) {
    std::shared_ptr<Handle> handle;
    {
        Registry& r = TheRegistry();
        std::lock_guard<std::mutex> g(r.m);
        auto it = r.open.find(h);
        if (it == r.open.end()) {
            return Fail(ERROR_INVALID_HANDLE);
        }
        handle = std::move(it->second);
        r.open.erase(it);
    }
    Lock& l = *handle->lock;
    std::lock_guard<std::mutex> g(l.m);
    std::erase(l.handles, handle.get());
    if (handle->held > 0) {
        l.count -= std::min(l.count, handle->held);
        handle->held = 0;
        if (l.count == 0) {
            if (l.owner == std::this_thread::get_id()) {
                t_owned.Remove(&l);
            }
            FreeLocked(l, true);
        }
    }
    return 1;
}

}  // namespace LKMDB7
