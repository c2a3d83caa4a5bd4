// UserNotificationState: which of the user-notification center's lists a
// removal looks at — the scheduled ones, the delivered ones, or both (the
// scheduled list first). Plain value; hashable as any enum is.
#pragma once

#include <optional>

namespace orvane {

enum class UserNotificationState { scheduled = 0, delivered = 1, any = 2 };

constexpr int rawValue(UserNotificationState state) {
    return static_cast<int>(state);
}

constexpr std::optional<UserNotificationState> userNotificationStateFromRawValue(int value) {
    if (value < 0 || value > 2) {
        return std::nullopt;
    }
    return static_cast<UserNotificationState>(value);
}

}  // namespace orvane
