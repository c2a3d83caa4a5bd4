// The platform's error user-information keys, with their platform string values.
#pragma once

#include <string_view>

namespace orvane {

inline constexpr std::string_view NSLocalizedDescriptionKey = "NSLocalizedDescription";
inline constexpr std::string_view NSLocalizedFailureReasonErrorKey = "NSLocalizedFailureReason";
inline constexpr std::string_view NSLocalizedRecoverySuggestionErrorKey = "NSLocalizedRecoverySuggestion";
inline constexpr std::string_view NSLocalizedRecoveryOptionsErrorKey = "NSLocalizedRecoveryOptions";
inline constexpr std::string_view NSLocalizedFailureErrorKey = "NSLocalizedFailure";
inline constexpr std::string_view NSRecoveryAttempterErrorKey = "NSRecoveryAttempter";
inline constexpr std::string_view NSHelpAnchorErrorKey = "NSHelpAnchor";
inline constexpr std::string_view NSDebugDescriptionErrorKey = "NSDebugDescription";
inline constexpr std::string_view NSUnderlyingErrorKey = "NSUnderlyingError";
inline constexpr std::string_view NSStringEncodingErrorKey = "NSStringEncodingErrorKey";
inline constexpr std::string_view NSURLErrorKey = "NSURL";
inline constexpr std::string_view NSFilePathErrorKey = "NSFilePath";

}  // namespace orvane
