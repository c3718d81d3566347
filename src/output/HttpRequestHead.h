#pragma once
// The head of an HTTP request as the observers' server checks it before anything else reads the
// connection: the request line and the header lines up to the empty line, within fixed limits.
// A request is taken only when it is plainly well formed; everything odd is refused, since the
// observers' page is served to browsers, which never send anything odd.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vexar {

/// Limits of one request head.
struct HttpHeadLimits {
    std::size_t maxHeadBytes = 8192; ///< request line, header lines and the empty line
    std::size_t maxHeaderLines = 48;
};

enum class HttpHeadStatus {
    Incomplete,     ///< no empty line yet, and the limits still allow one
    Complete,       ///< `head` holds the request
    TooLarge,       ///< the head passes maxHeadBytes
    TooManyHeaders, ///< more than maxHeaderLines header lines
    Malformed,      ///< not an HTTP/1.x request line, a bad header line or a byte no head holds
};

struct HttpRequestHead {
    std::string method;                                      ///< "GET", ...
    std::string path;                                        ///< the target before '?', as sent
    std::string query;                                       ///< after '?', without it
    int minorVersion = 1;                                    ///< HTTP/1.x
    std::vector<std::pair<std::string, std::string>> fields; ///< names in lower case, values trimmed
    std::size_t length = 0;                                  ///< bytes of the head with its empty line

    /// The value of the first field of that (lower-case) name, or empty.
    std::string_view Field(std::string_view name) const;
    /// True when a comma-separated field of that name lists `token` (any case).
    bool FieldHasToken(std::string_view name, std::string_view token) const;
    /// True when the request carries a body (a length other than 0, or a transfer coding).
    bool HasBody() const;
};

/// Reads the head at the start of `bytes` (what has arrived so far).
HttpHeadStatus ReadRequestHead(std::span<const std::uint8_t> bytes, const HttpHeadLimits& limits,
                               HttpRequestHead& head);

/// The value of `key` in a query string (`a=1&token=x`), percent-decoded; empty when absent.
std::string QueryValue(std::string_view query, std::string_view key);

/// Compares two secrets in a time that does not depend on where they first differ.
bool SecretsEqual(std::string_view a, std::string_view b);

/// A Host field's value in lower case with `defaultPort` added when it names none ("[::1]" and
/// "host" get ":80"); empty for an empty field.
std::string HostAuthority(std::string_view host, std::string_view defaultPort = "80");

/// True when a Host field names this computer's loopback: localhost, 127.x.x.x or [::1], with any
/// port. A page served on loopback without a token answers only to these names, so that a web
/// site whose name is made to point at 127.0.0.1 cannot read it through a browser on board.
bool IsLoopbackHost(std::string_view host);

/// The host and port of an Origin field (`http://host:port`), lower case, with the scheme's
/// default port when none is given; empty when it is not an http(s) origin.
std::string OriginAuthority(std::string_view origin);

} // namespace vexar
