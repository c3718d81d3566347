#pragma once
// GpkgPointWriter: the profile points of a conversion as a GeoPackage of one 3-D point layer in
// the UTM zone of the first usable fix, with the time, beam, range and depth of every point.

#include "MapFileWriter.h"

#include <cstdint>

namespace vexar::cli {

/// The name of the point layer.
inline constexpr const char* kGpkgLayerName = "profile_points";

class GpkgPointWriter final : public MapFileWriter {
public:
    using MapFileWriter::MapFileWriter;
    ~GpkgPointWriter() override;

private:
    void Create(const MapProjection& projection) override;
    void Write(const MapPoint& point) override;
    /// Commits the points and closes the file.
    void Close() override;
    void FailWith(const std::string& what);

    void* m_dataset = nullptr; ///< GDALDatasetH
    void* m_layer = nullptr;   ///< OGRLayerH
    void* m_feature = nullptr; ///< OGRFeatureH, reused for every point
    std::uint64_t m_written = 0;
};

} // namespace vexar::cli
