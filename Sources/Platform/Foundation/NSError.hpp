// NSError: the platform error object — a domain, a code and user information.
//
// It is both an Error (so it can be thrown and caught like every library
// error) and an NSObject (so it can travel inside an Object, for instance
// under NSUnderlyingErrorKey). Two NSErrors are equal when their domains,
// codes and user information are equal. Immutable; safe to share.
//
//   throw orvane::NSError("Seckeychain", -1, {{std::string(orvane::NSDebugDescriptionErrorKey), "no
//   keychain"}});
#pragma once

#include "Platform/Foundation/Error.hpp"
#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSObject.hpp"

namespace orvane {

class AnyError;

class NSError : public NSObject, public Error {
public:
    NSError(std::string domain, std::int64_t code, ObjectDictionary userInfo = {});
    // The bridge of a type-erased error: domain "", code -1, and exactly three
    // user-information entries — the localized description, and the failure
    // reason and recovery suggestion or the null object where there are none.
    explicit NSError(const AnyError& error);

    std::string domain() const override { return domain_; }
    std::int64_t code() const override { return code_; }
    ObjectDictionary userInfo() const override { return userInfo_; }
    const ObjectDictionary& userInfoReference() const { return userInfo_; }

    bool isEqual(const NSObject& other) const override;
    std::size_t hashValue() const override;
    std::string description() const override;

    friend bool operator==(const NSError& lhs, const NSError& rhs);

private:
    std::string domain_;
    std::int64_t code_;
    ObjectDictionary userInfo_;
};

}  // namespace orvane
