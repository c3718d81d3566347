#pragma once
// MapTrack: the track of a recording as the XYZ export follows it (offsets from the first usable
// fix, fixes that jump 5 m or more left out, depth change since that fix), projected into one
// UTM zone chosen for a whole map rather than the zone of each fix, so that recordings from both
// sides of a zone boundary land on one raster.

#include "navigation/XyzExport.h"

namespace vexar {

class MapTrack {
public:
    /// `projection` zone 0: the map takes the zone of the first usable fix.
    explicit MapTrack(MapProjection projection = {}) : m_projection(projection) {}

    /// A new recording: the next usable fix starts its track. The map's zone stays.
    void Start();
    /// A fix of the recording (degrees, south and west negative; vehicle depth in metres).
    void Update(double latitudeDeg, double longitudeDeg, float depthM);

    /// True once a usable fix started the recording's track.
    bool Started() const { return m_started; }
    /// The map's zone; zone 0 until a usable fix chose it.
    const MapProjection& Projection() const { return m_projection; }
    /// Where the track is now in the map's zone: the first fix plus the offsets (m).
    double Easting() const { return m_originEasting + m_offsetX; }
    double Northing() const { return m_originNorthing + m_offsetY; }
    /// Change of vehicle depth since the first fix (m, down positive).
    double DepthChange() const { return m_offsetZ; }

private:
    MapProjection m_projection;
    bool m_started = false;
    double m_originEasting = 0.0;
    double m_originNorthing = 0.0;
    double m_easting = 0.0; ///< the last fix in the map's zone
    double m_northing = 0.0;
    double m_offsetX = 0.0;
    double m_offsetY = 0.0;
    double m_offsetZ = 0.0;
    float m_referenceDepth = 0.0f;
};

} // namespace vexar
