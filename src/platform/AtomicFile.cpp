#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <string>
#include <vector>

namespace qv::platform {

namespace {

constexpr int kMaxAsideNames = 100;

// Renames without replacing: where the file system cannot say "no replace", a hard link that
// refuses an existing name, then the old name removed.
int renameNoReplace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    if (::link(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    return ::unlink(from.c_str()) == 0 ? 0 : errno;
}

int writeAll(int fd, std::string_view data) {
    size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return errno;
        }
        done += static_cast<size_t>(n);
    }
    return 0;
}

}  // namespace

int writeFileAtomically(const std::string& path, std::string_view data, mode_t mode) {
    std::string pattern = path + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back(0);
    const int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    const std::string temp(name.data());
    const mode_t mask = ::umask(0);
    ::umask(mask);
    int error = ::fchmod(fd, mode & ~mask) == 0 ? 0 : errno;
    if (error == 0) {
        error = writeAll(fd, data);
    }
    if (error == 0 && ::fsync(fd) != 0) {
        error = errno;
    }
    if (::close(fd) != 0 && error == 0) {
        error = errno;
    }
    if (error == 0 && std::rename(temp.c_str(), path.c_str()) != 0) {
        error = errno;
    }
    if (error != 0) {
        ::unlink(temp.c_str());
    }
    return error;
}

int moveAside(const std::string& path, const std::string& tag, std::string& movedTo) {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "";
    if (::localtime_r(&now, &local) == nullptr ||
        std::strftime(stamp, sizeof(stamp), "%Y%m%d-%H%M%S", &local) == 0) {
        return EINVAL;
    }
    const std::string base = path + "." + tag + "-" + stamp;
    for (int n = 1; n <= kMaxAsideNames; ++n) {
        const std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
        const int error = renameNoReplace(path, candidate);
        if (error != EEXIST) {
            if (error == 0) {
                movedTo = candidate;
            }
            return error;
        }
    }
    return EEXIST;
}

int readSmallFile(const std::string& path, size_t limit, std::string& data) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return errno;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        const int error = errno;
        ::close(fd);
        return error;
    }
    if (!S_ISREG(info.st_mode)) {
        ::close(fd);
        return S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    }
    std::string text;
    char chunk[4096];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(fd, chunk, sizeof(chunk));
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = errno;
            break;
        }
        if (n == 0) {
            break;
        }
        if (text.size() + static_cast<size_t>(n) > limit) {
            error = EFBIG;
            break;
        }
        text.append(chunk, static_cast<size_t>(n));
    }
    ::close(fd);
    if (error == 0) {
        data = std::move(text);
    }
    return error;
}

int makeFolders(const std::string& folder, mode_t mode) {
    if (folder.empty()) {
        return ENOENT;
    }
    for (size_t pos = 1; pos <= folder.size(); ++pos) {
        if (pos != folder.size() && folder[pos] != '/') {
            continue;
        }
        const std::string part = folder.substr(0, pos);
        if (::mkdir(part.c_str(), mode) != 0 && errno != EEXIST) {
            return errno;
        }
    }
    struct stat info {};
    if (::stat(folder.c_str(), &info) != 0) {
        return errno;
    }
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

}  // namespace qv::platform
