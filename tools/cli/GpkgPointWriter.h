#pragma once
// GpkgPointWriter: the profile points of a conversion as a GeoPackage of one 3-D point layer in
// the UTM zone of the first usable fix, with the time, beam, range and depth of every point.

#include "navigation/XyzExport.h"

#include <cstdint>
#include <string>

namespace vexar::cli {

/// The name of the point layer.
inline constexpr const char* kGpkgLayerName = "profile_points";

class GpkgPointWriter : public IMapPointSink {
public:
    /// Nothing is created before the first point: a recording without a usable fix leaves no file.
    explicit GpkgPointWriter(std::string path);
    ~GpkgPointWriter() override;
    GpkgPointWriter(const GpkgPointWriter&) = delete;
    GpkgPointWriter& operator=(const GpkgPointWriter&) = delete;

    void TakePoint(const MapPoint& point) override;
    /// Commits and closes the file; throws Failure when anything was lost. A conversion whose track had a
    /// usable fix but no point still gets its (empty) file, in `projection`.
    void Finish(const MapProjection& projection);
    std::uint64_t Points() const { return m_points; }
    const MapProjection& Projection() const { return m_projection; }

private:
    void Create(const MapProjection& projection);
    void Fail(const std::string& what);

    std::string m_path;
    void* m_dataset = nullptr; ///< GDALDatasetH
    void* m_layer = nullptr;   ///< OGRLayerH
    void* m_feature = nullptr; ///< OGRFeatureH, reused for every point
    MapProjection m_projection;
    std::uint64_t m_points = 0;
    std::string m_error;
};

} // namespace vexar::cli
