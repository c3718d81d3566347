#pragma once
// The measuring points of the view: each kept as a screen position and as an offset from the
// screen centre in measuring units (pixels / k), so that they follow zoom, pan and resizing.

#include <cmath>
#include <initializer_list>

namespace vexar {

struct MeasurePoint {
    int x = -1; ///< screen position, -1 when unset
    int y = -1;
    float offsetX = 0.0f;
    float offsetY = 0.0f;

    bool IsSet() const { return x != -1 || y != -1; }
    /// Sets the screen position and its offset from centre (cx, cy) with measuring scale k.
    void Set(int sx, int sy, int cx, int cy, float k) {
        x = sx;
        y = sy;
        offsetX = k != 0.0f ? static_cast<float>(sx - cx) / k : 0.0f;
        offsetY = k != 0.0f ? static_cast<float>(sy - cy) / k : 0.0f;
    }
    /// Screen coordinate of a stored offset: offset x k rounded half away from zero, plus centre.
    static int ScreenFromOffset(float offset, float k, int centre) {
        return static_cast<int>(std::round(offset * k)) + centre;
    }
};

class CMeasureState {
public:
    MeasurePoint m_a; ///< first click
    MeasurePoint m_b; ///< moving end
    MeasurePoint m_c; ///< second click
    bool m_active = false;

    /// Distance A-B in metres: zoom factor x length of the stored offsets' difference.
    float DistanceM(float zoomFactor) const {
        const float dx = m_a.offsetX - m_b.offsetX;
        const float dy = m_a.offsetY - m_b.offsetY;
        return zoomFactor * std::sqrt(dx * dx + dy * dy);
    }
    void Forget() { *this = CMeasureState{}; }
    /// After a resize, zoom or pan: every point with a screen position takes it again from its
    /// stored offset around the screen centre (cx, cy) with measuring scale k.
    void Reproject(int cx, int cy, float k) {
        for (MeasurePoint* point : {&m_a, &m_b, &m_c}) {
            if (point->IsSet()) {
                point->x = MeasurePoint::ScreenFromOffset(point->offsetX, k, cx);
                point->y = MeasurePoint::ScreenFromOffset(point->offsetY, k, cy);
            }
        }
    }
};

} // namespace vexar
