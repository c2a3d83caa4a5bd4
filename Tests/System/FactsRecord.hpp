// FactsRecord: the five System facts as one string, so a child process can
// hand them to the test that started it: each fact followed by a NUL, the
// serial marked "+" when present and "-" when not.
#pragma once

#include "System/System.hpp"

#include <optional>
#include <string>
#include <vector>

namespace systemtests {

struct Facts {
    std::string model, version;
    std::optional<std::string> serial;
    std::string home, name;
};

inline std::string readFactsRecord() {
    using orvane::System;
    const std::optional<std::string> serial = System::shortSerialNumber();
    std::string record;
    for (const std::string& fact : {System::hardwareModel(), System::osVersion(),
                                    serial ? "+" + *serial : std::string("-"), System::homeFolder(),
                                    System::userName()}) {
        record += fact;
        record += '\0';
    }
    return record;
}

// Nothing unless `record` holds exactly five facts.
inline std::optional<Facts> parseFactsRecord(const std::string& record) {
    std::vector<std::string> fields;
    for (std::size_t at = 0; at < record.size();) {
        const std::size_t end = record.find('\0', at);
        if (end == std::string::npos) {
            return std::nullopt;
        }
        fields.push_back(record.substr(at, end - at));
        at = end + 1;
    }
    if (fields.size() != 5 || fields[2].empty()) {
        return std::nullopt;
    }
    Facts facts{fields[0], fields[1], std::nullopt, fields[3], fields[4]};
    if (fields[2][0] == '+') {
        facts.serial = fields[2].substr(1);
    }
    return facts;
}

}  // namespace systemtests
