#include "display/ViewPointer.h"

#include "display/OverlayLayout.h"

#include <cmath>
#include <cstdio>
#include <tuple>

namespace vexar {

namespace {
constexpr double kDegreesPerRadian = 57.29577791868205;
constexpr double kMetresPerFoot = 0.3048;

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}
} // namespace

float CursorBearingDeg(int x, int y, int cx, int cy) {
    double bearing = 0.0;
    if (x != cx) {
        bearing = std::atan(static_cast<double>(y - cy) / static_cast<double>(x - cx)) * kDegreesPerRadian;
    } else if (y != cy) {
        bearing = y < cy ? -90.0 : 90.0; // the limit of the arc tangent straight above or below
    }
    bearing += x < cx ? 270.0 : 90.0;
    if (bearing >= 360.0 || bearing <= 0.0) {
        bearing = 0.0;
    }
    return static_cast<float>(bearing);
}

float CursorRangeM(float distancePx, float rangeM, float zoomFactor, int samples, float soundScale) {
    if (zoomFactor <= 0.0f || samples <= 0 || soundScale <= 0.0f) {
        return 0.0f;
    }
    return rangeM * distancePx / zoomFactor / static_cast<float>(samples) / soundScale;
}

std::string CursorRangeText(float rangeM, DistanceUnit unit) {
    if (unit == DistanceUnit::Imperial) {
        return Format("%.2f ft", static_cast<double>(rangeM) / kMetresPerFoot);
    }
    return Format("%.2f m", static_cast<double>(rangeM));
}

std::string CursorBearingText(float bearingDeg) {
    return Format("%.1f deg.", static_cast<double>(bearingDeg));
}

int CViewPointer::CentreX(const PointerContext& view) {
    return view.clientWidth / 2 - view.panX;
}

int CViewPointer::CentreY(const PointerContext& view) {
    return view.clientHeight / 2 - view.panY;
}

PointerResult CViewPointer::LeftDown(const PointerContext& view, int x, int y) {
    PointerResult result;
    m_lastX = x;
    m_lastY = y;
    if (view.measuring) {
        const int cx = CentreX(view);
        const int cy = CentreY(view);
        if (!m_measure.m_a.IsSet()) {
            m_measure.m_a.Set(x, y, cx, cy, view.measureScale);
            m_measure.m_b = m_measure.m_a;
            m_measure.m_active = true;
            m_offsetZoom = view.zoomFactor;
        } else if (!m_measure.m_c.IsSet()) {
            m_measure.m_c.Set(x, y, cx, cy, view.measureScale);
            m_measure.m_b = m_measure.m_c;
        } else {
            m_measure.Forget();
            result.measuringEnded = true;
            result.repaint = true;
        }
    } else if (view.polar) {
        m_panning = true;
    }
    return result;
}

std::pair<int, int> CViewPointer::Panned(const PointerContext& view, int x, int y) const {
    if (view.fillScreen) {
        return {view.panX, view.panY};
    }
    return {view.panX + m_lastX - x, view.panY + m_lastY - y};
}

PointerResult CViewPointer::Move(const PointerContext& context, int x, int y) {
    PointerResult result;
    PointerContext view = context;
    if (m_measure.m_active && !m_measure.m_c.IsSet() && x >= 0 && x <= view.clientWidth && y >= 0 &&
        y <= view.clientHeight) {
        FollowZoom(view.zoomFactor);
        m_measure.m_b.Set(x, y, CentreX(view), CentreY(view), view.measureScale);
    }
    if (m_measure.m_active) {
        result.repaint = true;
    }
    if (m_panning) {
        result.pan = Panned(view, x, y);
        std::tie(view.panX, view.panY) = *result.pan;
        m_lastX = x;
        m_lastY = y;
    }
    if (view.polar) {
        const int cx = CentreX(view);
        const int cy = CentreY(view);
        const double dx = cx - x;
        const double dy = cy - y;
        const auto distance = static_cast<float>(std::sqrt(dy * dy + dx * dx));
        result.cursorRangeM =
            CursorRangeM(distance, view.rangeM, view.zoomFactor, view.samples, view.soundScale);
        result.cursorBearingDeg = CursorBearingDeg(x, y, cx, cy);
        result.readout = true;
    }
    if (view.repaintOnMove || view.measuring) {
        result.repaint = true;
    }
    return result;
}

PointerResult CViewPointer::LeftUp(const PointerContext& view, int x, int y) {
    PointerResult result;
    if (m_panning) {
        result.pan = Panned(view, x, y);
    }
    m_panning = false;
    return result;
}

void CViewPointer::FollowZoom(float zoomFactor) {
    // The distance label is zoom factor x offset length, and the measuring scale grows with the
    // square of the zoom factor; rescaling the offsets keeps both the distance and the points on
    // the picture when the zoom changes.
    if (m_offsetZoom > 0.0f && zoomFactor > 0.0f && zoomFactor != m_offsetZoom) {
        const float ratio = m_offsetZoom / zoomFactor;
        for (MeasurePoint* point : {&m_measure.m_a, &m_measure.m_b, &m_measure.m_c}) {
            point->offsetX *= ratio;
            point->offsetY *= ratio;
        }
    }
    m_offsetZoom = zoomFactor;
}

void CViewPointer::Reproject(const PointerContext& view) {
    FollowZoom(view.zoomFactor);
    m_measure.Reproject(CentreX(view), CentreY(view), view.measureScale);
}

void CViewPointer::SyncWithView(bool measuring, float zoomFactor) {
    if (!measuring) {
        m_measure.Forget();
        m_offsetZoom = 0.0f;
        return;
    }
    FollowZoom(zoomFactor);
}

float CViewPointer::DistanceM(float zoomFactor) {
    FollowZoom(zoomFactor);
    return m_measure.DistanceM(zoomFactor);
}

int CViewPointer::EndX(const PointerContext& view) const {
    return MeasurePoint::ScreenFromOffset(m_measure.m_b.offsetX, view.measureScale, CentreX(view));
}

} // namespace vexar
