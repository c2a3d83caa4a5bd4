// ScopedEnvironment: sets or unsets environment variables for one scope and
// restores what they were afterwards.
//
//   testsupport::ScopedEnvironment noBus({{"DBUS_SESSION_BUS_ADDRESS", std::nullopt},
//                                         {"XDG_RUNTIME_DIR", std::nullopt}});
#pragma once

#include <cstdlib>
#include <initializer_list>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace testsupport {

class ScopedEnvironment {
public:
    using Setting = std::pair<std::string, std::optional<std::string>>;

    ScopedEnvironment(std::initializer_list<Setting> settings) {
        for (const auto& [name, value] : settings) {
            const char* current = std::getenv(name.c_str());
            saved_.emplace_back(name, current ? std::optional<std::string>(current) : std::nullopt);
            apply(name, value);
        }
    }
    ~ScopedEnvironment() {
        for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
            apply(it->first, it->second);
        }
    }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    static void apply(const std::string& name, const std::optional<std::string>& value) {
        if (value) {
            ::setenv(name.c_str(), value->c_str(), 1);
        } else {
            ::unsetenv(name.c_str());
        }
    }

    std::vector<Setting> saved_;
};

}  // namespace testsupport
