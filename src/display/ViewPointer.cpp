#include "display/ViewPointer.h"

#include "acquisition/CTamsorDoc.h"
#include "display/OverlayLayout.h"

#include <cmath>
#include <cstdio>

namespace vexar {

namespace {
constexpr double kDegreesPerRadian = 57.29577791868205;
constexpr double kMetresPerFoot = 0.3048;
constexpr int kZoomFillScreen = 2;

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

std::string CursorRangeText(float rangeM, int unit) {
    if (unit == 1) {
        return Format("%.2f ft", static_cast<double>(rangeM) / kMetresPerFoot);
    }
    return Format("%.2f m", static_cast<double>(rangeM));
}

std::string CursorBearingText(float bearingDeg) {
    return Format("%.1f deg.", static_cast<double>(bearingDeg));
}

int CViewPointer::CentreX(const CTamsorDoc& doc, const ViewGeometry& view) {
    return view.clientWidth / 2 - doc.m_panX;
}

int CViewPointer::CentreY(const CTamsorDoc& doc, const ViewGeometry& view) {
    return view.clientHeight / 2 - doc.m_panY;
}

PointerResult CViewPointer::LeftDown(CTamsorDoc& doc, const ViewGeometry& view, int x, int y) {
    PointerResult result;
    m_lastX = x;
    m_lastY = y;
    if (doc.m_measuring != 0) {
        const int cx = CentreX(doc, view);
        const int cy = CentreY(doc, view);
        if (!m_measure.m_a.IsSet()) {
            m_measure.m_a.Set(x, y, cx, cy, view.measureScale);
            m_measure.m_b = m_measure.m_a;
            m_measure.m_active = true;
            m_offsetZoom = doc.m_zoomFactor;
        } else if (!m_measure.m_c.IsSet()) {
            m_measure.m_c.Set(x, y, cx, cy, view.measureScale);
            m_measure.m_b = m_measure.m_c;
        } else {
            m_measure.Forget();
            doc.m_measuring = 0;
            result.repaint = true;
        }
    } else if (doc.Head(0).m_displayMode == 0) {
        m_panning = true;
    }
    return result;
}

void CViewPointer::Pan(CTamsorDoc& doc, int x, int y) {
    if (doc.m_zoomIndex == kZoomFillScreen) {
        return;
    }
    doc.m_panX += m_lastX - x;
    doc.m_panY += m_lastY - y;
}

PointerResult CViewPointer::Move(CTamsorDoc& doc, const ViewGeometry& view, int x, int y) {
    PointerResult result;
    if (m_measure.m_active && !m_measure.m_c.IsSet() && x >= 0 && x <= view.clientWidth && y >= 0 &&
        y <= view.clientHeight) {
        FollowZoom(doc.m_zoomFactor);
        m_measure.m_b.Set(x, y, CentreX(doc, view), CentreY(doc, view), view.measureScale);
    }
    if (m_measure.m_active) {
        result.repaint = true;
    }
    if (m_panning) {
        Pan(doc, x, y);
        m_lastX = x;
        m_lastY = y;
    }

    const COndrel& first = doc.Head(0);
    if (first.m_displayMode == 0) {
        const int cx = CentreX(doc, view);
        const int cy = CentreY(doc, view);
        const double dx = cx - x;
        const double dy = cy - y;
        const auto distance = static_cast<float>(std::sqrt(dy * dy + dx * dx));
        const float scale = SoundVelocityScale(doc.m_soundVelocity, first.m_rangeCoefficient);
        doc.m_cursorRangeM = CursorRangeM(distance, first.m_rangeM, doc.m_zoomFactor, first.m_samples, scale);
        doc.m_cursorBearingDeg = CursorBearingDeg(x, y, cx, cy);
        result.readout = true;
    }
    if (doc.m_playback != 0 || doc.m_measuring != 0 || first.m_newData == 0) {
        result.repaint = true;
    }
    return result;
}

void CViewPointer::LeftUp(CTamsorDoc& doc, int x, int y) {
    if (m_panning) {
        Pan(doc, x, y);
    }
    m_panning = false;
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

void CViewPointer::Reproject(const CTamsorDoc& doc, const ViewGeometry& view) {
    FollowZoom(doc.m_zoomFactor);
    m_measure.Reproject(CentreX(doc, view), CentreY(doc, view), view.measureScale);
}

void CViewPointer::SyncWithDocument(const CTamsorDoc& doc) {
    if (doc.m_measuring == 0) {
        m_measure.Forget();
        m_offsetZoom = 0.0f;
        return;
    }
    FollowZoom(doc.m_zoomFactor);
}

float CViewPointer::DistanceM(const CTamsorDoc& doc) {
    FollowZoom(doc.m_zoomFactor);
    return m_measure.DistanceM(doc.m_zoomFactor);
}

int CViewPointer::EndX(const CTamsorDoc& doc, const ViewGeometry& view) const {
    return MeasurePoint::ScreenFromOffset(m_measure.m_b.offsetX, view.measureScale, CentreX(doc, view));
}

} // namespace vexar
