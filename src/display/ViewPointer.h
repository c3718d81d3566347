#pragma once
// What the sonar view does with the mouse and the pointer keys: the cursor range and bearing
// readout, panning and the three-click distance measurement. The view only passes positions in
// and repaints when asked.

#include "display/CMeasureState.h"

#include <string>

namespace vexar {

class CTamsorDoc;

/// Bearing of (x, y) seen from the screen centre (cx, cy), degrees clockwise from the top of the
/// screen (0 up, 90 right, 180 down, 270 left); the centre itself reads 90.
float CursorBearingDeg(int x, int y, int cx, int cy);
/// Range in metres of a pointer `distancePx` pixels from the centre: the picture radius of P data
/// points covers the range r at zoom factor z, shortened by the sound-velocity scale s.
float CursorRangeM(float distancePx, float rangeM, float zoomFactor, int samples, float soundScale);

/// Info-panel texts of the readout: "%.2f m" or, in Imperial units, "%.2f ft" with true feet.
std::string CursorRangeText(float rangeM, int unit);
std::string CursorBearingText(float bearingDeg);
/// The view's size and scale as the pointer logic needs them.
struct ViewGeometry {
    int clientWidth = 0;
    int clientHeight = 0;
    float measureScale = 0.0f; ///< k, pixels per stored measuring unit
};

/// What the view must do after a pointer event.
struct PointerResult {
    bool repaint = false;
    bool readout = false; ///< the cursor readout of the info panel changed
};

class CViewPointer {
public:
    /// Screen centre: client centre minus the pan offset.
    static int CentreX(const CTamsorDoc& doc, const ViewGeometry& view);
    static int CentreY(const CTamsorDoc& doc, const ViewGeometry& view);

    PointerResult LeftDown(CTamsorDoc& doc, const ViewGeometry& view, int x, int y);
    PointerResult Move(CTamsorDoc& doc, const ViewGeometry& view, int x, int y);
    void LeftUp(CTamsorDoc& doc, int x, int y);
    /// Re-projects the set measure points after a resize, zoom or pan.
    void Reproject(const CTamsorDoc& doc, const ViewGeometry& view);
    /// Paint step: forgets the points when the document's measuring flag is off, and keeps the
    /// stored offsets meaning the same distance when the zoom factor has changed.
    void SyncWithDocument(const CTamsorDoc& doc);
    /// Measured distance A-B in metres at the document's zoom.
    float DistanceM(const CTamsorDoc& doc);
    /// Screen position of the moving end B from its stored offset.
    int EndX(const CTamsorDoc& doc, const ViewGeometry& view) const;

    bool Panning() const { return m_panning; }
    const CMeasureState& Measure() const { return m_measure; }

private:
    void Pan(CTamsorDoc& doc, int x, int y);
    void FollowZoom(float zoomFactor);

    CMeasureState m_measure;
    bool m_panning = false;
    int m_lastX = 0;
    int m_lastY = 0;
    float m_offsetZoom = 0.0f; ///< zoom factor the stored offsets were taken at
};

} // namespace vexar
