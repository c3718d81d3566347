#pragma once
// The logic of the modeless settings dialog: what each control shows, which controls are
// enabled, and what each spin click or list choice changes in the document.

#include "config/SettingsValues.h"

#include <array>
#include <string>

namespace vexar {

/// Everything the dialog shows after a refresh.
struct SettingsPanelView {
    std::string range, frequency, dataGain, startGain, persistence, pulseLength, multiplier;
    std::array<std::string, 4> quadrantGains;
    bool rangeSpinEnabled = true;
    bool frequencyEnabled = true;
    bool multiplierEnabled = true;
    bool pointsEnabled = true;
    int beamWidthSelection = 0; ///< "Wide", "Nomal", "Narrow"
    int beamsSelection = 0;     ///< "1440", "720", "360"
    int averagingSelection = 0; ///< "OFF", "3 shots", ...
    int pointsSelection = 0;    ///< "500", "1000"
    std::string fileDataGain, fileStartGain;
    std::array<std::string, 4> fileQuadrantGains;
};

/// Spin controls of the dialog.
enum class SettingsSpin {
    Range,
    Frequency,
    DataGain,
    StartGain,
    QuadrantGain,
    Persistence,
    PulseLength,
    Multiplier
};

/// The dialog's controls as operations on a copy of the settings, which the dialog then hands
/// to the document. `live`: real time (some values only change then).
class CSettingsPanel {
public:
    /// What every control shows now; `file` gives the played record's values beside them.
    static SettingsPanelView Refresh(const Settings& settings, bool live, const FileHeaderValues& file);
    /// A spin click of `delta` (the notification's delta); `head` selects the quadrant gain.
    /// Returns true when a value changed (the dialog then refreshes). A change of range,
    /// multiplier or pulse sets the pulse from range and multiplier.
    static bool Spin(Settings& settings, bool live, SettingsSpin spin, int delta, int head = 0);
    /// A value typed into the text box of a spin and confirmed: the spin steps to it, within the
    /// same limits and rules as its clicks (a range goes to the nearest of the four; "ft" is
    /// read as metres x 3 in Imperial units). False, with nothing changed, when the text does
    /// not start with a number or the box only shows a value (persistence, quadrant gains, pulse).
    static bool ApplyTyped(Settings& settings, bool live, SettingsSpin spin, const std::string& text,
                           int head = 0);
    /// True when the text box of this spin takes typed values.
    static bool TakesTypedValues(SettingsSpin spin);
    /// True when a change of this spin also refreshes the main control bar.
    static bool RefreshesControlBar(bool live, SettingsSpin spin);

    static void SelectPoints(Settings& settings, bool live, int index);
    static void SelectBeams(Settings& settings, int index);
    static void SelectAveraging(Settings& settings, int index);
    static void SelectBeamWidth(Settings& settings, int index);

private:
    static bool SpinMultiplier(PingSettings& sonar, bool live, int delta);
    static bool SpinQuadrantGain(PingSettings& sonar, int delta, int head);
};

/// Sound velocity dialog: a spin click moves 0.1 m/s per unit of delta within 1400..1600.
float SpinSoundVelocity(float velocity, int delta);
/// OK of the sound velocity dialog: the typed text as atof, limited to 1400..1600.
float AcceptSoundVelocity(const std::string& text);
/// An accepted sound velocity dialog: "UseFileSLC", and the velocity unless a played file's
/// is to be used. The caller redraws the current ping with it.
void ApplySoundVelocity(Settings& settings, bool live, float velocity, bool useFileVelocity);
/// Ping delay dialog: spin 1 ms per unit within 0..5000, OK converts with atoi and limits.
int SpinPingDelay(int delayMs, int delta);
int AcceptPingDelay(const std::string& text);

} // namespace vexar
