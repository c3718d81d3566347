#include "GpkgPointWriter.h"

#include "CliCommand.h"

#include <cpl_error.h>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <cstdio>
#include <filesystem>

namespace vexar::cli {

namespace {
// Points are committed in batches: one transaction per point would take minutes.
constexpr std::uint64_t kPointsPerTransaction = 100000;

enum Field : int { kTime = 0, kBeam, kRange, kDepth };

int StampNumber(std::string_view stamp, std::size_t at, std::size_t length) {
    int value = 0;
    for (std::size_t i = at; i < at + length && i < stamp.size(); ++i) {
        value = value * 10 + (stamp[i] - '0');
    }
    return value;
}
} // namespace

GpkgPointWriter::~GpkgPointWriter() {
    if (m_feature != nullptr) {
        OGR_F_Destroy(static_cast<OGRFeatureH>(m_feature));
    }
    if (m_dataset != nullptr) {
        GDALClose(static_cast<GDALDatasetH>(m_dataset));
    }
}

void GpkgPointWriter::FailWith(const std::string& what) {
    Fail(what + ": " + CPLGetLastErrorMsg());
}

void GpkgPointWriter::Create(const MapProjection& projection) {
    GDALAllRegister();
    GDALDriverH driver = GDALGetDriverByName("GPKG");
    if (driver == nullptr) {
        throw Failure("GDAL has no GeoPackage driver");
    }
    // Creating replaces the file, as every other output of a conversion does.
    std::error_code ignored;
    std::filesystem::remove(Path(), ignored);
    GDALDatasetH dataset = GDALCreate(driver, Path().c_str(), 0, 0, 0, GDT_Unknown, nullptr);
    if (dataset == nullptr) {
        throw Failure("cannot create " + Path() + ": " + CPLGetLastErrorMsg());
    }
    m_dataset = dataset;
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, projection.Epsg());
    OGRLayerH layer = GDALDatasetCreateLayer(dataset, kGpkgLayerName, srs, wkbPoint25D, nullptr);
    OSRRelease(srs);
    if (layer == nullptr) {
        throw Failure("cannot create the point layer in " + Path() + ": " + CPLGetLastErrorMsg());
    }
    m_layer = layer;
    const std::pair<const char*, OGRFieldType> fields[] = {
        {"time", OFTDateTime}, {"beam", OFTInteger}, {"range", OFTReal}, {"depth", OFTReal}};
    for (const auto& [name, type] : fields) {
        OGRFieldDefnH field = OGR_Fld_Create(name, type);
        const OGRErr error = OGR_L_CreateField(layer, field, TRUE);
        OGR_Fld_Destroy(field);
        if (error != OGRERR_NONE) {
            throw Failure("cannot create the field " + std::string(name) + " in " + Path());
        }
    }
    m_feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    if (GDALDatasetStartTransaction(dataset, FALSE) != OGRERR_NONE) {
        FailWith("cannot start a transaction");
    }
}

void GpkgPointWriter::Write(const MapPoint& point) {
    auto* feature = static_cast<OGRFeatureH>(m_feature);
    const std::string_view s = point.timeStamp;
    if (s.size() == static_cast<std::size_t>(kTimeStampLength)) {
        const float seconds =
            static_cast<float>(StampNumber(s, 12, 2)) + static_cast<float>(StampNumber(s, 14, 3)) / 1000.0f;
        // Time flag 1: local time, as the records carry it.
        OGR_F_SetFieldDateTimeEx(feature, kTime, StampNumber(s, 4, 4), StampNumber(s, 2, 2),
                                 StampNumber(s, 0, 2), StampNumber(s, 8, 2), StampNumber(s, 10, 2), seconds,
                                 1);
    } else {
        OGR_F_SetFieldNull(feature, kTime);
    }
    OGR_F_SetFieldInteger(feature, kBeam, point.beam);
    OGR_F_SetFieldDouble(feature, kRange, point.rangeM);
    OGR_F_SetFieldDouble(feature, kDepth, point.depth);
    OGRGeometryH geometry = OGR_G_CreateGeometry(wkbPoint25D);
    OGR_G_SetPoint(geometry, 0, point.easting, point.northing, point.depth);
    OGR_F_SetGeometryDirectly(feature, geometry);
    OGR_F_SetFID(feature, OGRNullFID);
    if (OGR_L_CreateFeature(static_cast<OGRLayerH>(m_layer), feature) != OGRERR_NONE) {
        FailWith("cannot write a point");
    }
    if (++m_written % kPointsPerTransaction == 0) {
        auto* dataset = static_cast<GDALDatasetH>(m_dataset);
        if (GDALDatasetCommitTransaction(dataset) != OGRERR_NONE ||
            GDALDatasetStartTransaction(dataset, FALSE) != OGRERR_NONE) {
            FailWith("cannot commit points");
        }
    }
}

void GpkgPointWriter::Close() {
    if (m_dataset != nullptr) {
        auto* dataset = static_cast<GDALDatasetH>(m_dataset);
        if (GDALDatasetCommitTransaction(dataset) != OGRERR_NONE) {
            FailWith("cannot commit points");
        }
        OGR_F_Destroy(static_cast<OGRFeatureH>(m_feature));
        m_feature = nullptr;
        CPLErrorReset();
        GDALClose(dataset);
        m_dataset = nullptr;
        if (CPLGetLastErrorType() == CE_Failure) {
            FailWith("cannot close");
        }
    }
}

} // namespace vexar::cli
