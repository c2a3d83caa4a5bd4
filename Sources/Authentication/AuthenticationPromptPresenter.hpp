// AuthenticationPromptPresenter: how the application shows the fingerprint
// prompt. fprintd shows nothing itself, so an authorization tells the
// installed presenter what to show once the reader is waiting for a finger,
// and to take it away when the evaluation ends. Without a presenter nothing
// is shown.
//
// show() receives the reason and the fallback title and a cancel action; the
// application calls `cancel` (from any thread, any number of times) when the
// user dismisses the prompt, and the evaluation ends with the user-cancel
// code (-2). dismiss() follows every show(), once.
//
// Threads: show and dismiss are called on the library thread running the
// evaluation; hop to the main thread to touch the user interface, and do not
// block in them.
//
//   struct Dialog : orvane::AuthenticationPromptPresenter {
//       void show(const orvane::AuthenticationPrompt& prompt, std::function<void()> cancel) override {...}
//       void dismiss() override {...}
//   };
//   orvane::setAuthenticationPromptPresenter(std::make_shared<Dialog>());
#pragma once

#include <functional>
#include <memory>
#include <string>

namespace orvane {

struct AuthenticationPrompt {
    std::string localizedReason;
    std::string fallbackTitle;
};

class AuthenticationPromptPresenter {
public:
    virtual ~AuthenticationPromptPresenter() = default;

    virtual void show(const AuthenticationPrompt& prompt, std::function<void()> cancel) = 0;
    virtual void dismiss() = 0;
};

// The process-wide presenter; null (the default) shows nothing. Any thread.
void setAuthenticationPromptPresenter(std::shared_ptr<AuthenticationPromptPresenter> presenter);
std::shared_ptr<AuthenticationPromptPresenter> authenticationPromptPresenter();

}  // namespace orvane
