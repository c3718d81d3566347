#pragma once
// CsvPointWriter: the profile points of a conversion as comma-separated text that tools read as
// it is: one ISO 8601 date-time column, UTM easting and northing, and WGS 84 latitude and
// longitude of each point, with a column-type file beside it.

#include "navigation/XyzExport.h"

#include <cstdio>
#include <memory>
#include <string>

struct PJconsts;
struct pj_ctx;

namespace vexar::cli {

/// The header line of the CSV layout.
inline constexpr const char* kCsvHeader = "time,easting,northing,depth,beam,range,latitude,longitude\n";
/// The column types of the CSV layout, written to the ".csvt" file beside it.
inline constexpr const char* kCsvColumnTypes =
    "\"DateTime\",\"Real\",\"Real\",\"Real\",\"Integer\",\"Real\",\"Real\",\"Real\"\n";

class CsvPointWriter : public IMapPointSink {
public:
    /// Nothing is created before the first point.
    explicit CsvPointWriter(std::string path);
    ~CsvPointWriter() override;
    CsvPointWriter(const CsvPointWriter&) = delete;
    CsvPointWriter& operator=(const CsvPointWriter&) = delete;

    void TakePoint(const MapPoint& point) override;
    /// Closes the file; throws Failure when anything was lost. A conversion whose track had a usable fix
    /// but no point still gets its (empty) file, in `projection`.
    void Finish(const MapProjection& projection);
    std::uint64_t Points() const { return m_points; }
    /// The projection of the easting and northing columns (valid once a point was taken).
    const MapProjection& Projection() const { return m_projection; }

private:
    void Open(const MapProjection& projection);

    std::string m_path;
    std::FILE* m_file = nullptr;
    pj_ctx* m_context = nullptr;
    PJconsts* m_inverse = nullptr; ///< UTM of the zone to degrees
    MapProjection m_projection;
    std::uint64_t m_points = 0;
    std::string m_error;
};

} // namespace vexar::cli
