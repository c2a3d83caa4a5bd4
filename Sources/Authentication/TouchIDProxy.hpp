// TouchIDProxy: what the application depends on to ask for a fingerprint —
// implemented by TouchID, substituted in tests.
//
// - state: whether authorization is possible now (computed afresh each read).
// - isEnabled: whether an authorization can be started now.
// - authorize: starts one authorization; `reply` is called exactly once, with
//   success when the user was recognised, else the TouchIDError.
//
// Thread rules are the implementation's; see TouchID.hpp.
#pragma once

#include "Authentication/TouchIDError.hpp"
#include "Authentication/TouchIDState.hpp"
#include "Core/Result.hpp"

#include <functional>
#include <string>

namespace orvane {

class TouchIDProxy {
public:
    using Reply = std::function<void(Result<void, TouchIDError>)>;

    virtual ~TouchIDProxy() = default;

    virtual TouchIDState state() const = 0;
    virtual bool isEnabled() const = 0;
    virtual void authorize(std::string localizedReason, std::string fallbackTitle, Reply reply) = 0;
};

}  // namespace orvane
