// KeychainTrustedApp: an application that a keychain item trusts to read it
// without a prompt, named by its file-system path.
//
// The path is kept exactly as given: the keychain adaptor resolves it when it
// makes the application's identity, so it is neither normalised nor checked
// here. Equality and hashing follow the path text.
//
// Immutable value; safe to share between threads.
//
//   orvane::KeychainTrustedApp app("/usr/bin/vault");
//   app.path();   // "/usr/bin/vault"
#pragma once

#include <functional>
#include <string>

namespace orvane {

class KeychainTrustedApp {
public:
    explicit KeychainTrustedApp(std::string path) : path_(std::move(path)) {}

    const std::string& path() const noexcept { return path_; }

    friend bool operator==(const KeychainTrustedApp&, const KeychainTrustedApp&) = default;

private:
    std::string path_;
};

}  // namespace orvane

template <>
struct std::hash<orvane::KeychainTrustedApp> {
    std::size_t operator()(const orvane::KeychainTrustedApp& app) const noexcept {
        return std::hash<std::string>{}(app.path());
    }
};
