#include "Keychain/SecretServiceAddLock.hpp"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <thread>

namespace orvane::secretservice {

namespace {

using Clock = std::chrono::steady_clock;

// A hash that every process and every build computes alike (FNV-1a, 64 bits).
std::uint64_t keyHash(std::string_view account, std::string_view service) {
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    const auto mix = [&](std::string_view text) {
        for (const char byte : text) {
            hash = (hash ^ static_cast<unsigned char>(byte)) * 0x100000001b3ULL;
        }
    };
    mix(account);
    mix(std::string_view("\0", 1));  // "ab"+"c" and "a"+"bc" differ
    mix(service);
    return hash;
}

std::mutex& mutexFor(std::uint64_t hash) {
    static std::array<std::mutex, 64> mutexes;
    return mutexes[hash % mutexes.size()];
}

// pollUntil: whether `attempt()` succeeded by `deadline`, trying again after
// growing pauses. Polling keeps every wait to the deadline; the locks are
// held for one add, so a pause of a few milliseconds costs little.
template <class Attempt>
bool pollUntil(Clock::time_point deadline, Attempt&& attempt) {
    auto pause = std::chrono::milliseconds(1);
    while (!attempt()) {
        if (Clock::now() + pause > deadline) {
            return false;
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
    return true;
}

// openLockFile: the lock file, or -1 when there is no safe one to use.
int openLockFile() {
    const std::string path = SecretServiceAddLock::lockFilePath();
    if (path.empty()) {
        return -1;
    }
    const int file = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (file < 0) {
        return -1;
    }
    struct stat status {};
    if (::fstat(file, &status) != 0 || !S_ISREG(status.st_mode) || status.st_uid != ::geteuid() ||
        ((status.st_mode & 077) != 0 && ::fchmod(file, 0600) != 0)) {
        ::close(file);
        return -1;
    }
    return file;
}

}  // namespace

std::string SecretServiceAddLock::lockFilePath() {
    const char* directory = std::getenv("XDG_RUNTIME_DIR");
    if (directory == nullptr || directory[0] != '/') {
        return "";
    }
    struct stat status {};
    if (::stat(directory, &status) != 0 || !S_ISDIR(status.st_mode) || status.st_uid != ::geteuid() ||
        (status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        return "";
    }
    return std::string(directory) + "/com.orvane.keychain.lock";
}

SecretServiceAddLock::SecretServiceAddLock(std::string_view account, std::string_view service,
                                           Clock::time_point deadline)
    : inProcess_(mutexFor(keyHash(account, service)), std::defer_lock) {
    const std::uint64_t hash = keyHash(account, service);
    if (!pollUntil(deadline, [&] { return inProcess_.try_lock(); })) {
        throw Failure{errSecNotAvailable};
    }
    file_ = openLockFile();
    if (file_ < 0) {
        return;
    }
    struct flock range {};
    range.l_type = F_WRLCK;
    range.l_whence = SEEK_SET;
    range.l_start = static_cast<off_t>(hash & 0x7fffffffULL);
    range.l_len = 1;
    bool unsupported = false;
    const bool locked = pollUntil(deadline, [&] {
        if (::fcntl(file_, F_OFD_SETLK, &range) == 0) {
            return true;
        }
        unsupported = errno != EAGAIN && errno != EACCES && errno != EINTR;
        return unsupported;
    });
    if (!locked || unsupported) {
        ::close(file_);
        file_ = -1;
        // A file system without such locks counts as no runtime directory.
        if (!unsupported) {
            throw Failure{errSecNotAvailable};
        }
    }
}

SecretServiceAddLock::~SecretServiceAddLock() {
    if (file_ >= 0) {
        ::close(file_);  // releases the byte lock
    }
}

}  // namespace orvane::secretservice
