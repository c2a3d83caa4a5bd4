// scrivlog::SystemLogger: a Logger that writes every message, at both
// levels, as one line through the system log (orvane::systemLog):
//
//   [WARNING] Sources/Reachability/NetworkReachability:42 startNetworkMonitoring() - Received ...
//
// It filters nothing: every call makes its message and writes it.
//
// Thread safety: any thread may call it; it holds no state.
//
//   auto logger = std::make_shared<scrivlog::SystemLogger>();
//   auto reachability = orvane::NetworkReachability::create(logger);
#pragma once

#include "Core/Logger.hpp"

namespace scrivlog {

class SystemLogger final : public Logger {
public:
    void info(const MessageMaker& message, std::string_view function, std::string_view file,
              int line) override;
    void warning(const MessageMaker& message, std::string_view function, std::string_view file,
                 int line) override;
};

}  // namespace scrivlog
