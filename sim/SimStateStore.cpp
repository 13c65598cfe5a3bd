#include "SimStateStore.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace qv::sim {

namespace {

constexpr const char* kStateDirEnvironment = "QUORVEL_SIM_STATE_DIR";
constexpr const char* kRuntimeDirEnvironment = "XDG_RUNTIME_DIR";
constexpr const char* kRuntimeSubfolder = "/quorvel-sim";
constexpr const char* kTmpPrefix = "/tmp/quorvel-sim-";
constexpr size_t kMaxStateBytes = 4 << 20;
constexpr mode_t kFolderMode = 0700;
constexpr mode_t kFileMode = 0600;

std::string why(const std::string& what, const std::string& path) {
    return what + " " + path + ": " + std::strerror(errno);
}

// Creates the folder; its parent must exist. A folder whose parent has gone (a test's temporary
// folder, removed before a late write of the state) is not brought back with its parents, and no
// state is left behind in a recreated tree. A folder that exists must be a real folder (not a
// link) owned by this user, so that nobody else can read or replace the state through it.
int makeFolder(const std::string& folder, std::string& error) {
    if (folder.empty()) {
        error = "empty state folder";
        return -1;
    }
    if (::mkdir(folder.c_str(), kFolderMode) != 0 && errno != EEXIST) {
        error = why("cannot create", folder);
        return -1;
    }
    struct stat st {};
    if (::lstat(folder.c_str(), &st) != 0) {
        error = why("cannot inspect", folder);
        return -1;
    }
    if (!S_ISDIR(st.st_mode)) {
        error = "state folder " + folder + " is not a folder";
        return -1;
    }
    if (st.st_uid != ::getuid()) {
        error = "state folder " + folder + " belongs to another user";
        return -1;
    }
    return 0;
}

}  // namespace

SimStateStore::~SimStateStore() { close(); }

std::string SimStateStore::defaultFolder() {
    if (const char* dir = std::getenv(kStateDirEnvironment); dir != nullptr && *dir != 0) {
        return dir;
    }
    if (const char* runtime = std::getenv(kRuntimeDirEnvironment); runtime != nullptr && *runtime != 0) {
        return std::string(runtime) + kRuntimeSubfolder;
    }
    return kTmpPrefix + std::to_string(::getuid());
}

int SimStateStore::open(const std::string& folder, const std::string& fileName, std::string& error) {
    close();
    if (makeFolder(folder, error) != 0) {
        return -1;
    }
    path_ = folder + "/" + fileName;
    if (openLockFile() != 0) {
        error = why("cannot open", path_ + ".lock");
        return -1;
    }
    known_ = Identity{};
    return 0;
}

int SimStateStore::openLockFile() {
    if (lockFd_ >= 0) {
        ::close(lockFd_);
    }
    const std::string lockPath = path_ + ".lock";
    lockFd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, kFileMode);
    lockOwner_ = static_cast<int>(::getpid());
    return lockFd_ >= 0 ? 0 : -1;
}

void SimStateStore::close() {
    if (lockFd_ >= 0) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
}

void SimStateStore::lock() {
    // A forked child shares its parent's open lock file, and flock does not tell the two
    // apart; the child takes a lock file of its own.
    if (lockFd_ >= 0 && lockOwner_ != static_cast<int>(::getpid())) {
        openLockFile();
    }
    if (lockFd_ < 0) {
        return;
    }
    while (::flock(lockFd_, LOCK_EX) != 0 && errno == EINTR) {
    }
}

void SimStateStore::unlock() {
    if (lockFd_ >= 0) {
        ::flock(lockFd_, LOCK_UN);
    }
}

// File times can be coarser than the time between two writes, and a replaced file's inode
// number can come back; the count of writes in the lock file tells every write apart.
uint64_t SimStateStore::writeCount() const {
    uint64_t count = 0;
    if (lockFd_ < 0 || ::pread(lockFd_, &count, sizeof(count), 0) != sizeof(count)) {
        return 0;
    }
    return count;
}

void SimStateStore::countWrite() {
    const uint64_t count = writeCount() + 1;
    if (lockFd_ >= 0) {
        (void)!::pwrite(lockFd_, &count, sizeof(count), 0);
    }
}

SimStateStore::Identity SimStateStore::currentIdentity() const {
    Identity id;
    id.writes = writeCount();
    struct stat st {};
    if (path_.empty() || ::stat(path_.c_str(), &st) != 0) {
        return id;
    }
    id.exists = true;
    id.device = static_cast<uint64_t>(st.st_dev);
    id.inode = static_cast<uint64_t>(st.st_ino);
    id.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    id.size = static_cast<int64_t>(st.st_size);
    return id;
}

bool SimStateStore::changed() const { return !(currentIdentity() == known_); }

bool SimStateStore::exists() const { return currentIdentity().exists; }

SimStateStore::ReadResult SimStateStore::read(std::string& text, std::string& error) {
    text.clear();
    const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        known_ = currentIdentity();
        if (errno == ENOENT) {
            return ReadResult::Missing;
        }
        error = why("cannot read", path_);
        return ReadResult::Failed;
    }
    char buffer[8192];
    bool tooLarge = false;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof(buffer));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<size_t>(n));
        if (text.size() > kMaxStateBytes) {
            tooLarge = true;
            break;
        }
    }
    ::close(fd);
    known_ = currentIdentity();
    if (tooLarge) {
        error = "state file " + path_ + " is too large";
        return ReadResult::Failed;
    }
    return ReadResult::Read;
}

int SimStateStore::write(const std::string& text, std::string& error) {
    const std::string temp = path_ + ".tmp." + std::to_string(::getpid());
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, kFileMode);
    if (fd < 0) {
        error = why("cannot write", temp);
        return -1;
    }
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            error = why("cannot write", temp);
            ::close(fd);
            ::unlink(temp.c_str());
            return -1;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 || ::rename(temp.c_str(), path_.c_str()) != 0) {
        error = why("cannot replace", path_);
        ::unlink(temp.c_str());
        return -1;
    }
    countWrite();
    known_ = currentIdentity();
    return 0;
}

int SimStateStore::remove() {
    if (path_.empty()) {
        return 0;
    }
    const int status = ::unlink(path_.c_str()) == 0 || errno == ENOENT ? 0 : -1;
    countWrite();
    known_ = currentIdentity();
    return status;
}

}  // namespace qv::sim
