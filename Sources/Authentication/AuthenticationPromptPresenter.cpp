#include "Authentication/AuthenticationPromptPresenter.hpp"

#include <mutex>
#include <utility>

namespace orvane {

namespace {

std::mutex presenterMutex;
std::shared_ptr<AuthenticationPromptPresenter> installedPresenter;  // guarded by presenterMutex

}  // namespace

void setAuthenticationPromptPresenter(std::shared_ptr<AuthenticationPromptPresenter> presenter) {
    std::shared_ptr<AuthenticationPromptPresenter> previous;
    {
        const std::lock_guard lock(presenterMutex);
        previous = std::exchange(installedPresenter, std::move(presenter));
    }
}

std::shared_ptr<AuthenticationPromptPresenter> authenticationPromptPresenter() {
    const std::lock_guard lock(presenterMutex);
    return installedPresenter;
}

}  // namespace orvane
