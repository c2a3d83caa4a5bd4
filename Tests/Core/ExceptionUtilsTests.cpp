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

TEST(ExceptionUtils, handsTheThrownObjectToTheHandlerOnceAfterTheWorkDoneSoFar) {
    std::string log;
    int index = -1;
    ExceptionUtils::attemptOperation(
        [&] {
            log += "started;";
            throw RangeException(7);
        },
        [&](const NSException& exception) {
            log += "handled " + exception.name() + ";";
            const auto* range = dynamic_cast<const RangeException*>(&exception);
            index = range != nullptr ? range->index : -1;
        });
    EXPECT_EQ(log, "started;handled NSRangeException;");
    EXPECT_EQ(index, 7) << "the handler must see the thrown subclass object";

    ExceptionUtils::attemptOperation([&] { log += "quiet;"; },
                                     [&](const NSException&) { log += "handled;"; });
    EXPECT_EQ(log, "started;handled NSRangeException;quiet;");
}

TEST(ExceptionUtils, otherExceptionsPropagate) {
    int handled = 0;
    const auto handler = [&](const NSException&) { ++handled; };
    EXPECT_THROW(ExceptionUtils::attemptOperation([] { throw std::runtime_error("not ours"); }, handler),
                 std::runtime_error);
    EXPECT_THROW(ExceptionUtils::attemptOperation([] { throw 42; }, handler), int);
    EXPECT_EQ(handled, 0);
}

}  // namespace
