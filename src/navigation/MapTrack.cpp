#include "navigation/MapTrack.h"

#include <cmath>

namespace vexar {

void MapTrack::Start() {
    m_started = false;
    m_originEasting = 0.0;
    m_originNorthing = 0.0;
    m_easting = 0.0;
    m_northing = 0.0;
    m_offsetX = 0.0;
    m_offsetY = 0.0;
    m_offsetZ = 0.0;
    m_referenceDepth = 0.0f;
}

void MapTrack::Update(double latitudeDeg, double longitudeDeg, float depthM) {
    // A position off the globe is damage in the sentence, not a fix.
    if (!(std::fabs(latitudeDeg) <= 90.0) || !std::isfinite(longitudeDeg) || !std::isfinite(depthM)) {
        return;
    }
    if (!m_started) {
        // The export's rule for a usable first fix, in the fix's own zone: a position that
        // projects onto an axis (an empty fix reads 0, 0) starts nothing.
        const UtmPoint own = LatLonToUtm(latitudeDeg, longitudeDeg);
        if (own.easting == 0.0 || own.northing == 0.0) {
            return;
        }
        if (m_projection.zone == 0) {
            m_projection = MapProjection{own.zone, latitudeDeg < 0.0};
        }
    }
    const UtmPoint fix = ProjectInto(m_projection, latitudeDeg, longitudeDeg);
    if (!m_started) {
        m_started = true;
        m_originEasting = fix.easting;
        m_originNorthing = fix.northing;
        m_easting = fix.easting;
        m_northing = fix.northing;
        m_referenceDepth = depthM;
        return;
    }
    const double dE = fix.easting - m_easting;
    const double dN = fix.northing - m_northing;
    m_easting = fix.easting;
    m_northing = fix.northing;
    if (IsTravel(dE, dN)) {
        m_offsetX += dE;
        m_offsetY += dN;
    }
    m_offsetZ = static_cast<double>(depthM) - static_cast<double>(m_referenceDepth);
}

} // namespace vexar
