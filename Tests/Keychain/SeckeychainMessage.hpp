// messageThrownBy: the message of the Seckeychain error that `run` throws, or
// "no error" when it returns; an error of another domain, code or shape fails
// the test.
#pragma once

#include "Platform/Foundation/ErrorKeys.hpp"
#include "Platform/Foundation/NSError.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>

inline std::string messageThrownBy(const std::function<void()>& run) {
    try {
        run();
    } catch (const orvane::NSError& error) {
        EXPECT_EQ(error.domain(), "Seckeychain");
        EXPECT_EQ(error.code(), -1);
        EXPECT_EQ(error.userInfoReference().size(), 1U);
        return error.userInfoReference()
            .at(std::string(orvane::NSDebugDescriptionErrorKey))
            .as<std::string>()
            .value_or("");
    }
    return "no error";
}
