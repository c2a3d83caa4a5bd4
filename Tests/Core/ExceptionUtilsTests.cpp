#include "Core/ExceptionUtils.hpp"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace {

using orvane::ExceptionUtils;
using orvane::NSException;

class RangeException : public NSException {
public:
    explicit RangeException(int at) : NSException("NSRangeException", "index out of range"), index(at) {}
    int index;
};

TEST(ExceptionUtils, handsTheExceptionToTheHandlerOnce) {
    int handled = 0;
    std::string name;
    ExceptionUtils::attemptOperation([] { throw NSException("NSInvalidArgumentException", "bad argument"); },
                                     [&](const NSException& exception) {
                                         ++handled;
                                         name = exception.name();
                                     });
    EXPECT_EQ(handled, 1);
    EXPECT_EQ(name, "NSInvalidArgumentException");
}

TEST(ExceptionUtils, handlerSeesTheSubclassObject) {
    const RangeException* seen = nullptr;
    int index = -1;
    ExceptionUtils::attemptOperation([] { throw RangeException(7); },
                                     [&](const NSException& exception) {
                                         seen = dynamic_cast<const RangeException*>(&exception);
                                         index = seen != nullptr ? seen->index : -1;
                                     });
    EXPECT_NE(seen, nullptr);
    EXPECT_EQ(index, 7);
}

TEST(ExceptionUtils, workDoneBeforeTheThrowStaysDone) {
    std::string log;
    ExceptionUtils::attemptOperation(
        [&] {
            log += "started;";
            throw NSException("NSGenericException");
        },
        [&](const NSException&) { log += "handled;"; });
    EXPECT_EQ(log, "started;handled;");
}

TEST(ExceptionUtils, otherExceptionsPropagate) {
    int handled = 0;
    const auto handler = [&](const NSException&) { ++handled; };
    EXPECT_THROW(ExceptionUtils::attemptOperation([] { throw std::runtime_error("not ours"); }, handler),
                 std::runtime_error);
    EXPECT_THROW(ExceptionUtils::attemptOperation([] { throw 42; }, handler), int);
    EXPECT_EQ(handled, 0);
}

TEST(ExceptionUtils, noThrowNoHandler) {
    int handled = 0;
    int ran = 0;
    ExceptionUtils::attemptOperation([&] { ++ran; }, [&](const NSException&) { ++handled; });
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(handled, 0);
}

}  // namespace
