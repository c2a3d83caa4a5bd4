#include "Core/Fatal.hpp"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <string>

namespace {

// fatal must stop the process with a signal (the trap), not an exit code.
bool killedBySignal(int status) {
    return WIFSIGNALED(status);
}

TEST(FatalDeathTest, reportsTheMessageFileAndLineDefaultingToErrorAndTheCallersPlace) {
    EXPECT_EXIT(orvane::fatal([] { return std::string("vault lost"); }, "Vault.cpp", 12), killedBySignal,
                "Fatal error: vault lost: file Vault.cpp, line 12");
    // The line of the call below, as __LINE__ gives it.
    const std::string expected =
        "Fatal error: Error: file .*FatalTests\\.cpp, line " + std::to_string(__LINE__ + 1);
    EXPECT_EXIT(orvane::fatal(), killedBySignal, expected);
}

TEST(FatalDeathTest, evaluatesTheMessageOnce) {
    // A second evaluation would end the child with exit status 0, which is
    // not the death by signal the test expects.
    EXPECT_EXIT(
        {
            int evaluations = 0;
            orvane::fatal([&evaluations] {
                if (++evaluations > 1) {
                    std::_Exit(0);
                }
                return std::string("evaluation ") + std::to_string(evaluations);
            });
        },
        killedBySignal, "Fatal error: evaluation 1: file ");
}

}  // namespace
