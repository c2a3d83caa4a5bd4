// SecretServiceAddLock: holds off every other add of one account and service
// while an add searches for an existing item and creates its own, so that
// concurrent adds leave one item and refuse the rest (errSecDuplicateItem).
// The Secret Service itself would happily hold two. Internal to SecKeychainProxy.
//
// Two layers, taken in this order and released in reverse:
//   - within the process, a mutex chosen by the account and service (one of a
//     fixed set shared by every adaptor of the process, as the service is);
//   - across processes, an advisory lock on one byte, chosen by the same
//     hash, of "$XDG_RUNTIME_DIR/com.orvane.keychain.lock" (an open file
//     description lock, so two threads or adaptors of one process exclude
//     each other too). The runtime directory is used only when it is a
//     directory this user owns that nobody else may write into; the file is
//     created with mode 0600, never through a link, and used only when it is
//     a regular file this user owns.
// Without such a runtime directory (or file) only the in-process mutex is
// taken: adds from different processes are then not serialised, and two may
// each create an item, as without this lock. Other Secret Service clients
// (secret-tool) take no lock at all.
//
// Waiting is bounded: both locks are polled, and when either is not had by
// `deadline` the constructor throws Failure{errSecNotAvailable}.
//
// One thread; held for the scope of one add.
//
//   const SecretServiceAddLock lock(account, service, Clock::now() + timeout);
//   if (session.search(...).empty()) session.create(...);
#pragma once

#include "Keychain/SecretServiceStatus.hpp"

#include <chrono>
#include <mutex>
#include <string>
#include <string_view>

namespace orvane::secretservice {

class SecretServiceAddLock {
public:
    SecretServiceAddLock(std::string_view account, std::string_view service,
                         std::chrono::steady_clock::time_point deadline);
    ~SecretServiceAddLock();
    SecretServiceAddLock(const SecretServiceAddLock&) = delete;
    SecretServiceAddLock& operator=(const SecretServiceAddLock&) = delete;

    // lockFilePath: where the cross-process lock lives, or "" when there is
    // no usable runtime directory.
    static std::string lockFilePath();

private:
    std::unique_lock<std::mutex> inProcess_;
    int file_ = -1;  // holds the byte lock while open
};

}  // namespace orvane::secretservice
