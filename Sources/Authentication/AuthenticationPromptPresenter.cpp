#include "Authentication/AuthenticationPromptPresenter.hpp"

#include <mutex>
#include <utility>

namespace orvane {

namespace {

// Never destroyed: an evaluation on a worker may ask for it while the process exits.
struct Installed {
    std::mutex mutex;
    std::shared_ptr<AuthenticationPromptPresenter> presenter;  // guarded by mutex
};

Installed& installed() {
    static auto* shared = new Installed();
    return *shared;
}

}  // namespace

void setAuthenticationPromptPresenter(std::shared_ptr<AuthenticationPromptPresenter> presenter) {
    std::shared_ptr<AuthenticationPromptPresenter> previous;
    {
        const std::lock_guard lock(installed().mutex);
        previous = std::exchange(installed().presenter, std::move(presenter));
    }
}

std::shared_ptr<AuthenticationPromptPresenter> authenticationPromptPresenter() {
    const std::lock_guard lock(installed().mutex);
    return installed().presenter;
}

}  // namespace orvane
