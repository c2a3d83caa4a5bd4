// URLError: the URL-loading system's error domain ("NSURLErrorDomain") and
// its usual codes, and the error objects a URLSession reports.
//
// A transport failure becomes an NSError in NSURLErrorDomain whose user
// information holds a fixed localized description for the code, the failing
// URL with its user name, password, query and fragment removed
// (NSErrorFailingURLStringKey), and the transport's own one-line detail under
// NSDebugDescriptionErrorKey, with every URL in it cut down the same way. So an
// error's description never carries a credential or query parameter that was
// part of a URL.
//
// Thread safety: pure functions over values; any thread may call.
//
//   orvane::NSError error = orvane::makeURLError(orvane::URLErrorCode::timedOut,
//                                                "https://user:pw@host/p?q=1", "no data for 60 s");
//   error.userInfo()["NSErrorFailingURLStringKey"];   // "https://host/p"
#pragma once

#include "Platform/Foundation/NSError.hpp"

#include <cstdint>
#include <string>
#include <string_view>

namespace orvane {

inline constexpr std::string_view NSURLErrorDomain = "NSURLErrorDomain";
inline constexpr std::string_view NSErrorFailingURLStringKey = "NSErrorFailingURLStringKey";

// The codes, with the platform's values.
enum class URLErrorCode : std::int64_t {
    unknown = -1,
    cancelled = -999,
    badURL = -1000,
    timedOut = -1001,
    unsupportedURL = -1002,
    cannotFindHost = -1003,
    cannotConnectToHost = -1004,
    networkConnectionLost = -1005,
    httpTooManyRedirects = -1007,
    notConnectedToInternet = -1009,
    badServerResponse = -1011,
    cannotDecodeRawData = -1015,
    cannotParseResponse = -1017,
    dataLengthExceedsMaximum = -1103,
    secureConnectionFailed = -1200,
    serverCertificateHasBadDate = -1201,
    serverCertificateUntrusted = -1202,
    clientCertificateRequired = -1206,
    cannotLoadFromNetwork = -2000,
};

// The platform's wording for each code.
std::string_view urlErrorDescription(URLErrorCode code);

// The URL text with its user information, query and fragment removed:
// "https://u:p@h:8/a?b#c" gives "https://h:8/a". Text without "scheme://" is
// cut at its first '?' or '#'.
std::string redactedURLString(std::string_view url);

// `text` with every "scheme://..." run in it redacted as above.
std::string redactingURLsIn(std::string_view text);

// An NSError in NSURLErrorDomain for a request to `url`; `detail` (may be empty)
// is the transport's explanation.
NSError makeURLError(URLErrorCode code, std::string_view url, std::string_view detail);

}  // namespace orvane
