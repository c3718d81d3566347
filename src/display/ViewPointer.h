#pragma once
// What the sonar view does with the mouse and the pointer keys: the cursor range and bearing
// readout, panning and the three-click distance measurement. The view only passes positions in
// and repaints when asked.

#include "common/RangeText.h"
#include "display/CMeasureState.h"

#include <optional>
#include <string>
#include <utility>

namespace vexar {

/// Bearing of (x, y) seen from the screen centre (cx, cy), degrees clockwise from the top of the
/// screen (0 up, 90 right, 180 down, 270 left); the centre itself reads 90.
float CursorBearingDeg(int x, int y, int cx, int cy);
/// Range in metres of a pointer `distancePx` pixels from the centre: the picture radius of P data
/// points covers the range r at zoom factor z, shortened by the sound-velocity scale s.
float CursorRangeM(float distancePx, float rangeM, float zoomFactor, int samples, float soundScale);

/// Info-panel texts of the readout: "%.2f m" or, in Imperial units, "%.2f ft" with true feet.
std::string CursorRangeText(float rangeM, DistanceUnit unit);
std::string CursorBearingText(float bearingDeg);

/// The pointer's place on the picture as the readout shows it: range and bearing from the head
/// (the bearing as CursorBearingDeg gives it).
struct PointerReadout {
    float rangeM = 0.0f;
    float bearingDeg = 0.0f;
};

/// What the pointer logic reads of the view and the document at an event.
struct PointerContext {
    int clientWidth = 0;
    int clientHeight = 0;
    float measureScale = 0.0f; ///< k, pixels per stored measuring unit
    float zoomFactor = 0.0f;
    int panX = 0;
    int panY = 0;
    bool measuring = false;
    bool polar = true;       ///< the polar picture is shown (not Beam Test)
    bool fillScreen = false; ///< the picture fills the view: it does not pan
    /// A move repaints the view even without measuring (playback, or no new ping to draw it).
    bool repaintOnMove = false;
    float rangeM = 0.0f;
    int samples = 0;
    float soundScale = 1.0f; ///< SoundVelocityScale of the ping
};

/// What the view must do after a pointer event, and what changed of the view's pan, readout and
/// measuring.
struct PointerResult {
    bool repaint = false;
    bool readout = false; ///< the cursor readout of the info panel changed
    std::optional<std::pair<int, int>> pan;
    float cursorRangeM = 0.0f; ///< with `readout`
    float cursorBearingDeg = 0.0f;
    bool measuringEnded = false; ///< the third click ended measuring
};

class CViewPointer {
public:
    /// Screen centre: client centre minus the pan offset.
    static int CentreX(const PointerContext& view);
    static int CentreY(const PointerContext& view);

    PointerResult LeftDown(const PointerContext& view, int x, int y);
    PointerResult Move(const PointerContext& view, int x, int y);
    PointerResult LeftUp(const PointerContext& view, int x, int y);
    /// Re-projects the set measure points after a resize, zoom or pan.
    void Reproject(const PointerContext& view);
    /// Paint step: forgets the points when measuring is off, and keeps the stored offsets meaning
    /// the same distance when the zoom factor has changed.
    void SyncWithView(bool measuring, float zoomFactor);
    /// Measured distance A-B in metres at the zoom.
    float DistanceM(float zoomFactor);
    /// Screen position of the moving end B from its stored offset.
    int EndX(const PointerContext& view) const;

    bool Panning() const { return m_panning; }
    const CMeasureState& Measure() const { return m_measure; }

private:
    std::pair<int, int> Panned(const PointerContext& view, int x, int y) const;
    void FollowZoom(float zoomFactor);

    CMeasureState m_measure;
    bool m_panning = false;
    int m_lastX = 0;
    int m_lastY = 0;
    float m_offsetZoom = 0.0f; ///< zoom factor the stored offsets were taken at
};

} // namespace vexar
