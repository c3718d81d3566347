#pragma once
// The live navigation source as the core sees it: a port that reads a device or a daemon on a
// thread of its own and posts its fixes into a CFixStore; and the text that names one
// ("--nav SOURCE").

#include "navigation/NavigationStatus.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vexar {

class CFixStore;

/// Which source to read, and where.
struct NavSourceChoice {
    NavSourceKind kind = NavSourceKind::None;
    std::string device;             ///< serial: the device path
    int baud = 0;                   ///< serial: bits per second; 0 takes the settings' "Baud Rate"
    std::string host = "127.0.0.1"; ///< gpsd
    std::uint16_t port = 2947;      ///< gpsd
    bool operator==(const NavSourceChoice&) const = default;
};

/// Reads "serial:PATH[,BAUD]", "gpsd", "gpsd:HOST[:PORT]" or "none". BAUD is one of the serial
/// line's standard rates (1200 to 921600). Nothing, and `error` says why, when the text is none
/// of these.
std::optional<NavSourceChoice> ParseNavSource(std::string_view text, std::string* error = nullptr);

/// A live navigation source. It runs on a thread of its own, never blocks its owner, keeps
/// reopening its device or reconnecting to its daemon with back-off while it cannot read, and
/// reports its link and every fix through the store it was made with.
class INavigationSource {
public:
    virtual ~INavigationSource() = default;
    /// Starts reading; returns at once.
    virtual void Start() = 0;
    /// Stops reading; returns when nothing more will be posted (within a fraction of a second).
    virtual void Stop() = 0;
};

} // namespace vexar
