#pragma once
// CsvPointWriter: the profile points of a conversion as comma-separated text that tools read as
// it is: one ISO 8601 date-time column, UTM easting and northing, and WGS 84 latitude and
// longitude of each point, with a column-type file beside it.

#include "MapFileWriter.h"

#include <cstdio>

struct PJconsts;
struct pj_ctx;

namespace vexar::cli {

/// The header line of the CSV layout.
inline constexpr const char* kCsvHeader = "time,easting,northing,depth,beam,range,latitude,longitude\n";
/// The column types of the CSV layout, written to the ".csvt" file beside it.
inline constexpr const char* kCsvColumnTypes =
    "\"DateTime\",\"Real\",\"Real\",\"Real\",\"Integer\",\"Real\",\"Real\",\"Real\"\n";

class CsvPointWriter final : public MapFileWriter {
public:
    using MapFileWriter::MapFileWriter;
    ~CsvPointWriter() override;

private:
    void Create(const MapProjection& projection) override;
    void Write(const MapPoint& point) override;
    void Close() override;

    std::FILE* m_file = nullptr;
    pj_ctx* m_context = nullptr;
    PJconsts* m_inverse = nullptr; ///< UTM of the zone to degrees
};

} // namespace vexar::cli
