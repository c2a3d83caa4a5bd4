// ExceptionUtils: runs an operation and hands a platform exception (an
// NSException, or any subclass) raised inside it to a handler instead of
// letting it propagate.
//
// attemptOperation(operation, onException) calls the operation; when it
// throws an NSException, the handler is called once with that very exception
// object (its dynamic type intact) and attemptOperation returns normally.
// Every other exception propagates untouched and the handler is not called.
// Whatever the operation did before throwing stays done.
//
// Thread safety: stateless; the operation and the handler run on the calling
// thread, one after the other.
//
//   orvane::ExceptionUtils::attemptOperation(
//       [&] { parser.run(); },
//       [&](const orvane::NSException& exception) { report(exception.name()); });
#pragma once

#include "Platform/Foundation/NSException.hpp"
#include "Platform/Foundation/NSObject.hpp"

#include <functional>

namespace orvane {

class ExceptionUtils : public NSObject {
public:
    static void attemptOperation(const std::function<void()>& operation,
                                 const std::function<void(const NSException&)>& onException);
};

}  // namespace orvane
