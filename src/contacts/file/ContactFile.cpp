#include "contacts/file/ContactFile.h"

#include "contacts/file/ContactFileFields.h"

#include <filesystem>
#include <memory>
#include <set>

namespace vexar::contacts {

namespace contact_file {

std::string GdalError() {
    const char* message = CPLGetLastErrorMsg();
    return message != nullptr && *message != '\0' ? std::string(": ") + message : std::string();
}

Dataset OpenGpkg(const std::string& path, bool update) {
    GDALAllRegister();
    const std::array<const char*, 2> drivers = {"GPKG", nullptr};
    const unsigned flags = GDAL_OF_VECTOR | (update ? GDAL_OF_UPDATE : GDAL_OF_READONLY);
    CPLPushErrorHandler(CPLQuietErrorHandler);
    CPLErrorReset();
    GDALDatasetH dataset = GDALOpenEx(path.c_str(), flags, drivers.data(), nullptr, nullptr);
    CPLPopErrorHandler();
    return Dataset(dataset);
}

std::string CheckLayer(GDALDatasetH dataset, const std::string& path, OGRLayerH& layer) {
    layer = GDALDatasetGetLayerByName(dataset, kContactsLayer);
    if (layer == nullptr) {
        return path + " is a GeoPackage without a layer of contacts.";
    }
    OGRFeatureDefnH definition = OGR_L_GetLayerDefn(layer);
    for (int i = 0; i < kFieldCount; ++i) {
        const int at = OGR_FD_GetFieldIndex(definition, kFields[static_cast<std::size_t>(i)].name);
        if (at != i || OGR_Fld_GetType(OGR_FD_GetFieldDefn(definition, at)) !=
                           kFields[static_cast<std::size_t>(i)].type) {
            return path + " is not a contacts file of this program: its field \"" +
                   kFields[static_cast<std::size_t>(i)].name + "\" is missing or of another kind.";
        }
    }
    return {};
}

} // namespace contact_file

using namespace contact_file;

namespace {

/// SQLite's own check of the file's pages.
bool PassesQuickCheck(GDALDatasetH dataset) {
    CPLPushErrorHandler(CPLQuietErrorHandler);
    OGRLayerH result = GDALDatasetExecuteSQL(dataset, "PRAGMA quick_check", nullptr, nullptr);
    CPLPopErrorHandler();
    if (result == nullptr) {
        return false;
    }
    OGRFeatureH row = OGR_L_GetNextFeature(result);
    const bool ok = row != nullptr && std::string(OGR_F_GetFieldAsString(row, 0)) == "ok";
    if (row != nullptr) {
        OGR_F_Destroy(row);
    }
    GDALDatasetReleaseResultSet(dataset, result);
    return ok;
}

std::optional<double> RealOf(OGRFeatureH feature, int field) {
    if (!OGR_F_IsFieldSetAndNotNull(feature, field)) {
        return std::nullopt;
    }
    return OGR_F_GetFieldAsDouble(feature, field);
}

std::optional<ContactPosition> PositionOf(OGRFeatureH feature) {
    const auto lat = RealOf(feature, kLatitude);
    const auto lon = RealOf(feature, kLongitude);
    if (!lat || !lon) {
        return std::nullopt;
    }
    ContactPosition position;
    position.latitudeDeg = *lat;
    position.longitudeDeg = *lon;
    position.easting = RealOf(feature, kEasting).value_or(0.0);
    position.northing = RealOf(feature, kNorthing).value_or(0.0);
    position.epsg = OGR_F_GetFieldAsInteger(feature, kEpsg);
    position.depthM = RealOf(feature, kContactDepth).value_or(0.0);
    return position;
}

Contact ContactOf(OGRFeatureH feature) {
    Contact c;
    c.number = OGR_F_GetFieldAsInteger(feature, kNumber);
    c.utcMs = UtcMsOfIsoText(OGR_F_GetFieldAsString(feature, kTime));
    c.recording = OGR_F_GetFieldAsString(feature, kRecording);
    if (OGR_F_IsFieldSetAndNotNull(feature, kRecord)) {
        c.recordCounter = static_cast<std::uint32_t>(OGR_F_GetFieldAsInteger64(feature, kRecord));
    }
    if (OGR_F_IsFieldSetAndNotNull(feature, kRecordOffset)) {
        c.recordOffset = static_cast<std::uint64_t>(OGR_F_GetFieldAsInteger64(feature, kRecordOffset));
    }
    c.bearingDeg = static_cast<float>(OGR_F_GetFieldAsDouble(feature, kBearing));
    c.bearingFromNorth = std::string(OGR_F_GetFieldAsString(feature, kBearingRef)) == "north";
    c.pictureBearingDeg = static_cast<float>(OGR_F_GetFieldAsDouble(feature, kPictureBearing));
    c.rangeM = static_cast<float>(OGR_F_GetFieldAsDouble(feature, kRange));
    c.position = PositionOf(feature);
    if (const auto depth = RealOf(feature, kVehicleDepth)) {
        c.vehicleDepthM = static_cast<float>(*depth);
    }
    if (const auto length = RealOf(feature, kLength)) {
        c.lengthM = static_cast<float>(*length);
    }
    c.note = OGR_F_GetFieldAsString(feature, kNote);
    c.status = StatusOfName(OGR_F_GetFieldAsString(feature, kStatus)).value_or(ContactStatus::Proposed);
    int bytes = 0;
    const GByte* chip = OGR_F_GetFieldAsBinary(feature, kChip, &bytes);
    if (chip != nullptr && bytes > 0) {
        c.chipPng.assign(chip, chip + bytes);
    }
    return c;
}

/// Every contact of the layer; an error text when a feature is not one.
std::string ReadFeatures(OGRLayerH layer, const std::string& path, std::vector<Contact>& contacts) {
    std::set<int> numbers;
    OGR_L_ResetReading(layer);
    CPLErrorReset();
    while (OGRFeatureH feature = OGR_L_GetNextFeature(layer)) {
        Contact contact = ContactOf(feature);
        OGR_F_Destroy(feature);
        if (contact.number <= 0 || !numbers.insert(contact.number).second) {
            return path + " is damaged: a contact has no number of its own.";
        }
        contacts.push_back(std::move(contact));
    }
    if (CPLGetLastErrorType() == CE_Failure) {
        return path + " is damaged" + GdalError();
    }
    return {};
}

} // namespace

std::string ContactsPathBeside(const std::string& recordingPath) {
    std::filesystem::path path(recordingPath);
    path.replace_extension();
    return path.string() + ".contacts.gpkg";
}

ContactFileRead ReadContactFile(const std::string& path) {
    ContactFileRead read;
    std::error_code error;
    if (!std::filesystem::exists(path, error)) {
        read.ok = !error;
        read.error = error ? path + " cannot be read: " + error.message() : std::string();
        return read;
    }
    const Dataset dataset = OpenGpkg(path, false);
    if (!dataset) {
        read.error = path + " is not a contacts file: it is not a GeoPackage, or it is damaged.";
        return read;
    }
    auto* handle = static_cast<GDALDatasetH>(dataset.get());
    OGRLayerH layer = nullptr;
    read.error = CheckLayer(handle, path, layer);
    if (read.error.empty() && !PassesQuickCheck(handle)) {
        read.error = path + " is damaged: the GeoPackage fails its own check.";
    }
    if (read.error.empty()) {
        read.error = ReadFeatures(layer, path, read.contacts);
    }
    read.ok = read.error.empty();
    if (!read.ok) {
        read.contacts.clear();
    }
    return read;
}

} // namespace vexar::contacts
