#pragma once
// The console's settings as values, grouped as the settings file and the dialogs group them:
// the link, files and output of [System], the head parameters of a ping (PingSettings), and the
// picture of [View]. The document holds one Settings value; the settings table says where each
// key of the file lives in it.

#include "config/SettingChoices.h"
#include "head/PingSettings.h"
#include "navigation/HeadPlacement.h"
#include "navigation/NavigationStatus.h"

#include <array>
#include <cstdint>
#include <string>

namespace vexar {

inline constexpr std::uint16_t kSonarTcpPort = 4040;

/// [System]: the head's address, the data output, recording and playback.
struct SystemSettings {
    std::string sonarAddress = "192.168.0.2";
    int sonarPort = kSonarTcpPort; ///< "RemotePort_Sonar1"
    std::string outputAddress = "192.168.0.23";
    int outputPort = 4040;
    int udpOutputPoint = 0;
    int udpOutputBeam = 0;
    int autoFileName = 1;
    int autoFileSize = 1;
    int commPort = 2;
    int baudRate = 57600; ///< the serial navigation line's, unless --nav names another
    /// Where live fixes come from ("none", "serial" or "gpsd" in the file).
    NavSourceKind navSource = NavSourceKind::None;
    std::string navDevice = "/dev/ttyUSB0";     ///< the serial navigation line
    std::string gpsdAddress = "127.0.0.1:2947"; ///< HOST:PORT of gpsd
    /// A live ping carries the newest fix no older than this at its request.
    int maxFixAgeMs = 2000;
    std::string readFolder;
    std::string writeFolder;
    int syncHeads = 1;
    int sleepTimeMs = 0;
    int pingDelayMs = 0;
    int useFileSlc = 0;
    bool operator==(const SystemSettings&) const = default;
};

/// [View] and the units: how the picture and the readouts are drawn.
struct ViewSettings {
    int colorTable = 0;
    GridStyle grid = GridStyle::Polar;
    int rangeMark = 1;
    int zoomIndex = 0;
    int profileDisplay = 0;
    DistanceUnit unit = DistanceUnit::Metric;
    ViewOrientation orientation = ViewOrientation::HeadUp; ///< display/PictureOrientation.h turns it
    bool operator==(const ViewSettings&) const = default;
};

struct Settings {
    SystemSettings system;
    PingSettings sonar;
    ViewSettings view;
    HeadMounting mounting; ///< [Mounting]: where and how the head sits on the vehicle
    bool operator==(const Settings&) const = default;
};

/// Values of the played record's header that are shown beside the settings.
struct FileHeaderValues {
    float soundVelocity = 1480.0f;
    int startGainDb = 0;
    std::array<int, kHeadCount> quadrantGainsDb{};
    int displayGain = 0;
};

/// Which groups of the settings a change touched.
struct SettingsChange {
    bool system = false;
    bool sonar = false;
    bool view = false;
    bool mounting = false;
    bool Any() const { return system || sonar || view || mounting; }
    static SettingsChange Between(const Settings& before, const Settings& after) {
        return {before.system != after.system, before.sonar != after.sonar, before.view != after.view,
                before.mounting != after.mounting};
    }
};

} // namespace vexar
