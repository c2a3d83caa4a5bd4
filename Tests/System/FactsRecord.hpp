// FactsRecord: the five System facts as one string, so that a child process
// can hand them to the test that started it: each fact followed by a NUL,
// an absent serial written as a lone "\x01".
#pragma once

#include "System/System.hpp"

#include <string>

namespace systemtests {

inline std::string readFactsRecord() {
    using orvane::System;
    std::string record;
    for (const std::string& fact :
         {System::hardwareModel(), System::osVersion(), System::shortSerialNumber().value_or("\x01"),
          System::homeFolder(), System::userName()}) {
        record += fact + '\0';
    }
    return record;
}

}  // namespace systemtests
