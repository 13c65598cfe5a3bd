#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdlib>
#include <cstring>

#include "platform/DebugOutput.h"
#include "platform/SingleInstance.h"

namespace qv::platform {

namespace {

constexpr mode_t kLockFileMode = 0666;  // every user must be able to open it
constexpr int kListenBacklog = 8;
constexpr const char* kShowLine = "show";
constexpr uint32_t kLargestMessageNumber = 0xFFFF;

// The socket's address. On Linux it lives in the abstract namespace, so that no file is left
// behind by a process that dies and no other user's stale file can block it; elsewhere it is a
// file beside the lock.
bool socketAddress(const std::string& lockPath, sockaddr_un& address, socklen_t& length) {
    std::memset(&address, 0, sizeof(address));
    address.sun_family = AF_UNIX;
#ifdef __linux__
    const std::string name = std::string("quorvel:") + lockPath;
    if (name.size() + 1 > sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path + 1, name.data(), name.size());
    length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
#else
    const std::string name = lockPath + ".sock";
    if (name.size() + 1 > sizeof(address.sun_path)) {
        return false;
    }
    std::memcpy(address.sun_path, name.data(), name.size());
    length = static_cast<socklen_t>(sizeof(address));
#endif
    return true;
}

// The user at the other end of a connected local socket; false when the system cannot tell.
bool peerUser(int fd, uid_t& uid) {
#ifdef SO_PEERCRED
    ucred credentials{};
    socklen_t size = sizeof(credentials);
    if (getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0) {
        return false;
    }
    uid = credentials.uid;
    return true;
#else
    gid_t gid = 0;
    return getpeereid(fd, &uid, &gid) == 0;
#endif
}

bool writeAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<size_t>(n);
    }
    return true;
}

// Whether the peer of a connected local socket is this process's user.
bool peerIsOwnUser(int fd) {
    uid_t uid = 0;
    const bool known = peerUser(fd, uid);
    return instancePeerAccepted(known, static_cast<uint32_t>(uid),
                                static_cast<uint32_t>(::geteuid()));
}

}  // namespace

bool instancePeerAccepted(bool peerKnown, uint32_t peerUid, uint32_t ownUid) {
    return peerKnown && peerUid == ownUid;
}

std::string instanceMessageLine(uint32_t message) {
    if (message == kInstanceShowWindow) {
        return kShowLine;
    }
    if (message == kInstanceOpenAdvanced) {
        return std::to_string(message);
    }
    return {};
}

bool parseInstanceMessageLine(const std::string& line, uint32_t& message) {
    std::string text = line;
    if (!text.empty() && text.back() == '\r') {
        text.pop_back();
    }
    if (text == kShowLine) {
        message = kInstanceShowWindow;
        return true;
    }
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return false;
    }
    const unsigned long number = std::strtoul(text.c_str(), nullptr, 10);
    if (number > kLargestMessageNumber || number != kInstanceOpenAdvanced) {
        return false;
    }
    message = static_cast<uint32_t>(number);
    return true;
}

PosixSingleInstance::PosixSingleInstance(std::string folder, Clock& clock) : clock_(clock) {
    if (folder.empty()) {
        const char* env = std::getenv(kInstanceFolderEnvironment);
        folder = (env != nullptr && *env != 0) ? env : kInstanceDefaultFolder;
    }
    lockPath_ = folder + "/quorvel-" + kInstanceName + ".lock";
}

PosixSingleInstance::~PosixSingleInstance() {
    if (listenFd_ >= 0) {
        ::close(listenFd_);
#ifndef __linux__
        sockaddr_un address{};
        socklen_t length = 0;
        if (socketAddress(lockPath_, address, length)) {
            ::unlink(address.sun_path);
        }
#endif
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);  // releases the lock
    }
}

int PosixSingleInstance::acquire() {
    if (lockFd_ >= 0) {
        return kInstanceOnly;
    }
    // The folder is shared by every user: the file is only ever opened for reading (flock()
    // needs no more), never through a link, and without waiting, so that a link or a pipe put
    // in its place can neither be written through nor hold this start up.
    constexpr int kOpenFlags = O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK;
    int fd = ::open(lockPath_.c_str(), kOpenFlags | O_CREAT, kLockFileMode);
    if (fd < 0 && (errno == EACCES || errno == EPERM)) {
        // Another user's file in a sticky folder refuses O_CREAT; it still opens as it is.
        fd = ::open(lockPath_.c_str(), kOpenFlags);
    }
    if (fd < 0) {
        debugOutput("single instance: cannot open %s: %s\n", lockPath_.c_str(),
                    std::strerror(errno));
        return kInstanceUnavailable;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return kInstanceUnavailable;
    }
    if (info.st_uid == ::geteuid() && (info.st_mode & 0777) != kLockFileMode) {
        ::fchmod(fd, kLockFileMode);  // the umask narrowed it when we created it
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        lockFd_ = fd;
        if (!startListening()) {
            debugOutput("single instance: cannot listen: %s\n", std::strerror(errno));
        }
        return kInstanceOnly;
    }
    const int lockError = errno;
    ::close(fd);
    if (lockError != EWOULDBLOCK) {
        return kInstanceUnavailable;
    }
    bool otherUser = false;
    const int connection = connectToHolder(kConnectWaitMs, otherUser);
    if (otherUser) {
        return kInstanceUnavailable;
    }
    if (connection < 0) {
        // The holder is ours but does not answer (still starting, or stuck); like a window
        // that cannot be found, this start ends quietly.
        debugOutput("single instance: the running instance does not answer\n");
        return kInstanceBroughtForward;
    }
    writeAll(connection, instanceMessageLine(kInstanceShowWindow) + "\n");
    ::close(connection);
    return kInstanceBroughtForward;
}

int PosixSingleInstance::connectToHolder(uint32_t waitMs, bool& otherUser) {
    otherUser = false;
    sockaddr_un address{};
    socklen_t length = 0;
    if (!socketAddress(lockPath_, address, length)) {
        return -1;
    }
    for (uint32_t waited = 0;; waited += kConnectRetryMs) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd < 0) {
            return -1;
        }
        if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), length) == 0) {
            if (!peerIsOwnUser(fd)) {
                otherUser = true;
                ::close(fd);
                return -1;
            }
            return fd;
        }
        ::close(fd);
        if (waited >= waitMs) {
            return -1;
        }
        clock_.sleepMs(kConnectRetryMs);
    }
}

bool PosixSingleInstance::startListening() {
    sockaddr_un address{};
    socklen_t length = 0;
    if (!socketAddress(lockPath_, address, length)) {
        return false;
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        return false;
    }
#ifndef __linux__
    ::unlink(address.sun_path);  // a socket left by a holder that died; we hold the lock now
#endif
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), length) != 0 ||
        ::listen(fd, kListenBacklog) != 0) {
        ::close(fd);
        return false;
    }
    listenFd_ = fd;
    return true;
}

std::vector<uint32_t> PosixSingleInstance::takeMessages() {
    std::vector<uint32_t> messages;
    if (listenFd_ < 0) {
        return messages;
    }
    for (int senders = 0; senders < kMaxSendersPerTake;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR) {
                continue;
            }
            break;  // EAGAIN: nothing more waiting
        }
        ++senders;
        // Other users may connect (the name is not a file with permissions); they are not heard.
        if (peerIsOwnUser(fd)) {
            uint32_t message = 0;
            if (parseInstanceMessageLine(readLine(fd), message)) {
                messages.push_back(message);
            }
        }
        ::close(fd);
    }
    return messages;
}

// One line from a sender: at most kMaxLineBytes and kReadWaitMs in all, so that a slow or
// endless sender cannot hold up the window. A line cut off by either limit is returned longer
// than any message, or without its end, and is then not understood.
std::string PosixSingleInstance::readLine(int fd) {
    std::string line;
    const uint64_t deadline = clock_.tickMs() + static_cast<uint64_t>(kReadWaitMs);
    while (line.size() <= kMaxLineBytes) {
        const uint64_t now = clock_.tickMs();
        if (now >= deadline) {
            return {};
        }
        pollfd waiting{fd, POLLIN, 0};
        const int ready = ::poll(&waiting, 1, static_cast<int>(deadline - now));
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready <= 0) {
            return {};
        }
        char ch = 0;
        const ssize_t n = ::recv(fd, &ch, 1, 0);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0 || ch == '\n') {
            break;
        }
        line.push_back(ch);
    }
    return line;
}

bool PosixSingleInstance::sendToRunning(uint32_t message) {
    const std::string line = instanceMessageLine(message);
    if (line.empty()) {
        return false;
    }
    bool otherUser = false;
    const int fd = connectToHolder(0, otherUser);
    if (fd < 0) {
        return false;
    }
    const bool sent = writeAll(fd, line + "\n");
    ::close(fd);
    return sent;
}

}  // namespace qv::platform
