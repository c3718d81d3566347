#pragma once
// The logic of the modeless settings dialog: what each control shows, which controls are
// enabled, and what each spin click or list choice changes in the document.

#include <array>
#include <string>

namespace vexar {

class CTamsorDoc;

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

class CSettingsPanel {
public:
    /// What every control shows now; changes nothing.
    SettingsPanelView Refresh(const CTamsorDoc& doc);
    /// A spin click of `delta` (the notification's delta); `head` selects the quadrant gain.
    /// Returns true when a value changed (the dialog then refreshes). A change of range,
    /// multiplier or pulse sets head 0's pulse from range and multiplier and copies the
    /// multiplier to heads 1..3.
    bool Spin(CTamsorDoc& doc, SettingsSpin spin, int delta, int head = 0);
    /// A value typed into the text box of a spin and confirmed: the spin steps to it, within the
    /// same limits and rules as its clicks (a range goes to the nearest of the four; "ft" is
    /// read as metres x 3 in Imperial units). False, with nothing changed, when the text does
    /// not start with a number or the box only shows a value (persistence, quadrant gains, pulse).
    bool ApplyTyped(CTamsorDoc& doc, SettingsSpin spin, const std::string& text, int head = 0);
    /// True when the text box of this spin takes typed values.
    static bool TakesTypedValues(SettingsSpin spin);
    /// True when a change of this spin also refreshes the main control bar.
    static bool RefreshesControlBar(const CTamsorDoc& doc, SettingsSpin spin);

    void SelectPoints(CTamsorDoc& doc, int index);
    void SelectBeams(CTamsorDoc& doc, int index);
    void SelectAveraging(CTamsorDoc& doc, int index);
    void SelectBeamWidth(CTamsorDoc& doc, int index);
};

/// Sound velocity dialog: a spin click moves 0.1 m/s per unit of delta within 1400..1600.
float SpinSoundVelocity(float velocity, int delta);
/// OK of the sound velocity dialog: the typed text as atof, limited to 1400..1600.
float AcceptSoundVelocity(const std::string& text);
/// Applies an accepted sound velocity dialog and redraws the current ping with it.
void ApplySoundVelocity(CTamsorDoc& doc, float velocity, bool useFileVelocity);
/// Ping delay dialog: spin 1 ms per unit within 0..5000, OK converts with atoi and limits.
int SpinPingDelay(int delayMs, int delta);
int AcceptPingDelay(const std::string& text);

} // namespace vexar
