#include "Core/ExceptionUtils.hpp"

namespace orvane {

void ExceptionUtils::attemptOperation(const std::function<void()>& operation,
                                      const std::function<void(const NSException&)>& onException) {
    try {
        operation();
    } catch (const NSException& exception) {
        if (onException) {
            onException(exception);
        }
    }
}

}  // namespace orvane
