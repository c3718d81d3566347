// Writing contacts into their GeoPackage, one transaction for a batch of changes, and handing
// them over in other formats.

#include "contacts/file/ContactFile.h"

#include "contacts/file/ContactFileFields.h"

#include <gdal_utils.h>
#include <ogr_srs_api.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace vexar::contacts {

using namespace contact_file;

namespace {

constexpr int kWgs84 = 4326;

void SetReal(OGRFeatureH feature, int field, std::optional<double> value) {
    if (value) {
        OGR_F_SetFieldDouble(feature, field, *value);
    } else {
        OGR_F_SetFieldNull(feature, field);
    }
}

void SetPosition(OGRFeatureH feature, const Contact& c) {
    const ContactPosition* p = c.position ? &*c.position : nullptr;
    SetReal(feature, kLatitude, p ? std::optional(p->latitudeDeg) : std::nullopt);
    SetReal(feature, kLongitude, p ? std::optional(p->longitudeDeg) : std::nullopt);
    SetReal(feature, kEasting, p ? std::optional(p->easting) : std::nullopt);
    SetReal(feature, kNorthing, p ? std::optional(p->northing) : std::nullopt);
    SetReal(feature, kContactDepth, p ? std::optional(p->depthM) : std::nullopt);
    if (p != nullptr) {
        OGR_F_SetFieldInteger(feature, kEpsg, p->epsg);
        OGRGeometryH point = OGR_G_CreateGeometry(wkbPoint);
        OGR_G_SetPoint_2D(point, 0, p->longitudeDeg, p->latitudeDeg);
        OGR_F_SetGeometryDirectly(feature, point);
    } else {
        OGR_F_SetFieldNull(feature, kEpsg);
    }
}

void FillFeature(OGRFeatureH feature, const Contact& c) {
    OGR_F_SetFieldInteger(feature, kNumber, c.number);
    if (c.utcMs) {
        OGR_F_SetFieldString(feature, kTime, IsoUtcText(*c.utcMs).c_str());
    }
    OGR_F_SetFieldString(feature, kRecording, c.recording.c_str());
    if (c.recordCounter) {
        OGR_F_SetFieldInteger64(feature, kRecord, *c.recordCounter);
    }
    if (c.recordOffset) {
        OGR_F_SetFieldInteger64(feature, kRecordOffset, static_cast<GIntBig>(*c.recordOffset));
    }
    OGR_F_SetFieldDouble(feature, kBearing, static_cast<double>(c.bearingDeg));
    OGR_F_SetFieldString(feature, kBearingRef, c.bearingFromNorth ? "north" : "picture");
    OGR_F_SetFieldDouble(feature, kPictureBearing, static_cast<double>(c.pictureBearingDeg));
    OGR_F_SetFieldDouble(feature, kRange, static_cast<double>(c.rangeM));
    SetPosition(feature, c);
    SetReal(feature, kVehicleDepth, c.vehicleDepthM ? std::optional<double>(*c.vehicleDepthM) : std::nullopt);
    SetReal(feature, kLength, c.lengthM ? std::optional<double>(*c.lengthM) : std::nullopt);
    OGR_F_SetFieldString(feature, kNote, c.note.c_str());
    OGR_F_SetFieldString(feature, kStatus, std::string(StatusName(c.status)).c_str());
    if (!c.chipPng.empty()) {
        OGR_F_SetFieldBinary(feature, kChip, static_cast<int>(c.chipPng.size()), c.chipPng.data());
    }
}

/// A new, empty contacts file: made under another name and renamed when whole, so that a kill
/// never leaves half a file under the contacts file's name.
std::string CreateContactFile(const std::string& path) {
    GDALAllRegister();
    GDALDriverH driver = GDALGetDriverByName("GPKG");
    if (driver == nullptr) {
        return "GDAL has no GeoPackage driver";
    }
    const std::string part = path + ".part.gpkg";
    std::error_code ignored;
    std::filesystem::remove(part, ignored);
    CPLErrorReset();
    Dataset dataset(GDALCreate(driver, part.c_str(), 0, 0, 0, GDT_Unknown, nullptr));
    if (!dataset) {
        return "cannot create " + path + GdalError();
    }
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, kWgs84);
    OSRSetAxisMappingStrategy(srs, OAMS_TRADITIONAL_GIS_ORDER);
    OGRLayerH layer = GDALDatasetCreateLayer(static_cast<GDALDatasetH>(dataset.get()), kContactsLayer, srs,
                                             wkbPoint, nullptr);
    OSRRelease(srs);
    bool ok = layer != nullptr;
    for (const FieldSpec& column : kFields) {
        OGRFieldDefnH field = OGR_Fld_Create(column.name, column.type);
        ok = ok && OGR_L_CreateField(layer, field, TRUE) == OGRERR_NONE;
        OGR_Fld_Destroy(field);
    }
    dataset.reset();
    if (!ok || CPLGetLastErrorType() == CE_Failure) {
        std::filesystem::remove(part, ignored);
        return "cannot create " + path + GdalError();
    }
    std::error_code error;
    std::filesystem::rename(part, path, error);
    return error ? "cannot create " + path + ": " + error.message() : std::string();
}

bool DeleteNumber(OGRLayerH layer, int number) {
    const std::string filter = "number = " + std::to_string(number);
    OGR_L_SetAttributeFilter(layer, filter.c_str());
    std::vector<GIntBig> fids;
    OGR_L_ResetReading(layer);
    while (OGRFeatureH feature = OGR_L_GetNextFeature(layer)) {
        fids.push_back(OGR_F_GetFID(feature));
        OGR_F_Destroy(feature);
    }
    OGR_L_SetAttributeFilter(layer, nullptr);
    for (const GIntBig fid : fids) {
        if (OGR_L_DeleteFeature(layer, fid) != OGRERR_NONE) {
            return false;
        }
    }
    return true;
}

bool ApplyChange(OGRLayerH layer, const ContactChange& change) {
    if (!DeleteNumber(layer, change.number)) {
        return false;
    }
    if (change.contact == nullptr) {
        return true;
    }
    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    FillFeature(feature, *change.contact);
    const bool ok = OGR_L_CreateFeature(layer, feature) == OGRERR_NONE;
    OGR_F_Destroy(feature);
    return ok;
}

std::string WriteChanges(const std::string& path, const std::vector<ContactChange>& changes) {
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        if (const std::string created = CreateContactFile(path); !created.empty()) {
            return created;
        }
    }
    const Dataset dataset = OpenGpkg(path, true);
    if (!dataset) {
        return "cannot open " + path + " for writing" + GdalError();
    }
    auto* handle = static_cast<GDALDatasetH>(dataset.get());
    OGRLayerH layer = nullptr;
    if (std::string refused = CheckLayer(handle, path, layer); !refused.empty()) {
        return refused;
    }
    CPLErrorReset();
    bool ok = GDALDatasetStartTransaction(handle, FALSE) == OGRERR_NONE;
    for (const ContactChange& change : changes) {
        ok = ok && ApplyChange(layer, change);
    }
    if (!ok) {
        GDALDatasetRollbackTransaction(handle);
        return "cannot write the contacts into " + path + GdalError();
    }
    if (GDALDatasetCommitTransaction(handle) != OGRERR_NONE) {
        return "cannot write the contacts into " + path + GdalError();
    }
    return {};
}

/// The arguments of GDAL's vector translation for a format: every attribute but the chip; KML
/// names its placemarks and describes them.
std::vector<std::string> TranslateArguments(ContactFormat format) {
    const std::string columns = "number, time_utc, recording, record, bearing, bearing_ref, range, latitude, "
                                "longitude, easting, northing, epsg, contact_depth, vehicle_depth, length, "
                                "note, status";
    std::vector<std::string> args = {"-dialect", "SQLite", "-nln", kContactsLayer};
    std::string sql = "SELECT geom, " + columns + " FROM contacts ORDER BY number";
    if (format == ContactFormat::Kml) {
        sql = "SELECT geom, 'Contact ' || number AS name, coalesce(status, '') || ': ' || "
              "coalesce(note, '') AS description, " +
              columns + " FROM contacts ORDER BY number";
        args.insert(args.end(), {"-f", "KML", "-dsco", "NameField=name", "-dsco",
                                 "DescriptionField=description", "-mapFieldType", "Integer64=Real"});
    } else if (format == ContactFormat::GeoJson) {
        args.insert(args.end(), {"-f", "GeoJSON"});
    } else {
        args.insert(args.end(), {"-f", "CSV", "-lco", "GEOMETRY=AS_XY"});
    }
    args.insert(args.end(), {"-sql", sql});
    return args;
}

} // namespace

std::string WriteContactChanges(const std::string& path, const std::vector<ContactChange>& changes) {
    // Failures are told through the result, not on stderr.
    CPLPushErrorHandler(CPLQuietErrorHandler);
    std::string result = WriteChanges(path, changes);
    CPLPopErrorHandler();
    return result;
}

std::string ExportContactFile(const std::string& gpkgPath, const std::string& outPath, ContactFormat format) {
    const ContactFileRead read = ReadContactFile(gpkgPath);
    if (!read.ok) {
        return read.error;
    }
    const Dataset source = OpenGpkg(gpkgPath, false);
    if (!source) {
        return gpkgPath + " cannot be opened" + GdalError();
    }
    std::vector<std::string> args = TranslateArguments(format);
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    GDALVectorTranslateOptions* options = GDALVectorTranslateOptionsNew(argv.data(), nullptr);
    std::error_code ignored;
    std::filesystem::remove(outPath, ignored); // the drivers do not overwrite
    GDALDatasetH sourceHandle = static_cast<GDALDatasetH>(source.get());
    int usageError = FALSE;
    CPLErrorReset();
    GDALDatasetH out = GDALVectorTranslate(outPath.c_str(), nullptr, 1, &sourceHandle, options, &usageError);
    GDALVectorTranslateOptionsFree(options);
    if (out != nullptr) {
        GDALClose(out);
    }
    if (out == nullptr || CPLGetLastErrorType() == CE_Failure) {
        const std::string failure = GdalError();
        std::filesystem::remove(outPath, ignored);
        return "cannot write " + outPath + failure;
    }
    return {};
}

} // namespace vexar::contacts
