// The state file of one configuration and its lock. Every process that uses the simulated driver
// takes the lock (flock on a separate file) around each call, reloads the state when the file
// changed since it last read or wrote it, and writes it whole through a temporary file and a
// rename, so that a reader never sees half a state.
#pragma once

#include <cstdint>
#include <string>

namespace qv::sim {

class SimStateStore {
public:
    enum class ReadResult { Read, Missing, Failed };

    SimStateStore() = default;
    ~SimStateStore();
    SimStateStore(const SimStateStore&) = delete;
    SimStateStore& operator=(const SimStateStore&) = delete;

    // Prepares `folder` (created private to the user when missing) and the lock file of
    // `fileName` in it. Answers 0, or -1 with `error`.
    int open(const std::string& folder, const std::string& fileName, std::string& error);
    void close();
    bool isOpen() const { return lockFd_ >= 0; }
    const std::string& path() const { return path_; }

    // Exclusive lock across processes; the caller also serialises its own threads.
    void lock();
    void unlock();

    // True when the file is not the one this store last read or wrote (also when it vanished).
    bool changed() const;
    bool exists() const;
    ReadResult read(std::string& text, std::string& error);
    int write(const std::string& text, std::string& error);
    int remove();

    // The folder state files go to: QUORVEL_SIM_STATE_DIR, else $XDG_RUNTIME_DIR/quorvel-sim,
    // else /tmp/quorvel-sim-<uid>.
    static std::string defaultFolder();

private:
    struct Identity {
        bool exists = false;
        uint64_t device = 0;
        uint64_t inode = 0;
        int64_t mtimeNs = 0;
        int64_t size = 0;
        uint64_t writes = 0;  // the count of writes kept in the lock file
        bool operator==(const Identity&) const = default;
    };
    Identity currentIdentity() const;
    uint64_t writeCount() const;
    void countWrite();

    int openLockFile();

    std::string path_;
    int lockFd_ = -1;
    int lockOwner_ = 0;  // the process that opened the lock file
    Identity known_;
};

}  // namespace qv::sim
