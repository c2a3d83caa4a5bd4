// Records an operation's change notifications as "will isReady", "did isFinished", ...
#pragma once

#include "Platform/Dispatch/Operation.hpp"

#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace testsupport {

using Strings = std::vector<std::string>;

struct OperationNotifications {
    std::mutex mutex;
    Strings entries;
    explicit OperationNotifications(orvane::Operation& operation) {
        operation.addObserver([this](std::string_view key, orvane::Operation::Change change) {
            const std::lock_guard lock(mutex);
            entries.push_back((change == orvane::Operation::Change::will ? "will " : "did ") +
                              std::string(key));
        });
    }
    Strings take() {
        const std::lock_guard lock(mutex);
        return std::exchange(entries, {});
    }
};

}  // namespace testsupport
