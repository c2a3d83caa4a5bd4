#include "Platform/Foundation/NSException.hpp"

namespace orvane {

NSException::NSException(std::string name, std::optional<std::string> reason, ObjectDictionary userInfo)
    : name_(std::move(name)),
      reason_(std::move(reason)),
      userInfo_(std::move(userInfo)),
      summary_(reason_ ? name_ + ": " + *reason_ : name_) {}

}  // namespace orvane
