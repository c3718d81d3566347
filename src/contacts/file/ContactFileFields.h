#pragma once
// What the contacts file's reading, writing and export share: its fields and the opening of the
// GeoPackage. Internal to vexar_gis.

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>

#include <array>
#include <memory>
#include <string>

namespace vexar::contacts::contact_file {

struct FieldSpec {
    const char* name;
    OGRFieldType type;
};

// The attributes of a contact, in the file's order.
enum Field : int {
    kNumber = 0,
    kTime,
    kRecording,
    kRecord,
    kRecordOffset,
    kBearing,
    kBearingRef,
    kPictureBearing,
    kRange,
    kLatitude,
    kLongitude,
    kEasting,
    kNorthing,
    kEpsg,
    kContactDepth,
    kVehicleDepth,
    kLength,
    kNote,
    kStatus,
    kChip,
    kFieldCount
};
inline constexpr std::array<FieldSpec, kFieldCount> kFields = {{
    {"number", OFTInteger},
    {"time_utc", OFTString},
    {"recording", OFTString},
    {"record", OFTInteger64},
    {"record_offset", OFTInteger64},
    {"bearing", OFTReal},
    {"bearing_ref", OFTString},
    {"picture_bearing", OFTReal},
    {"range", OFTReal},
    {"latitude", OFTReal},
    {"longitude", OFTReal},
    {"easting", OFTReal},
    {"northing", OFTReal},
    {"epsg", OFTInteger},
    {"contact_depth", OFTReal},
    {"vehicle_depth", OFTReal},
    {"length", OFTReal},
    {"note", OFTString},
    {"status", OFTString},
    {"chip", OFTBinary},
}};

struct DatasetCloser {
    void operator()(void* dataset) const { GDALClose(static_cast<GDALDatasetH>(dataset)); }
};
/// An open GDAL dataset, closed when it goes.
using Dataset = std::unique_ptr<void, DatasetCloser>;

/// ": GDAL's last error message", or nothing.
std::string GdalError();
/// Opens `path` as a GeoPackage (only); null when it is none or cannot be opened.
Dataset OpenGpkg(const std::string& path, bool update);
/// The contacts layer of an opened file, with every field where this program puts it; an error
/// text when the file is no contacts file.
std::string CheckLayer(GDALDatasetH dataset, const std::string& path, OGRLayerH& layer);

} // namespace vexar::contacts::contact_file
