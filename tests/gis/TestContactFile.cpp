// The contacts file: contacts read back as they were written (a point in EPSG:4326, the chip, a
// contact without a position), files that are not contacts files refused and left untouched,
// and the writer keeping what it cannot write until the folder can be written.

#include "contacts/file/CContactWriter.h"
#include "contacts/file/ContactFile.h"
#include "support/RecordingFixture.h"

#include <gdal.h>
#include <gtest/gtest.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>

#include <filesystem>
#include <fstream>
#include <iterator>

namespace vexar::contacts {
namespace {

Contact Sample(int number, bool withPosition) {
    Contact c;
    c.number = number;
    c.utcMs = 1796643699042;
    c.recording = "/data/survey.R96";
    c.recordCounter = 41;
    c.recordOffset = 123456;
    c.bearingDeg = 95.5f;
    c.bearingFromNorth = true;
    c.pictureBearingDeg = 65.5f;
    c.rangeM = 7.25f;
    if (withPosition) {
        c.position = ContactPosition{-33.9001234, 18.4005678, 260123.45, 6245678.9, 32734, 13.5};
    }
    c.vehicleDepthM = 10.0f;
    c.note = "tyre, \"half buried\"";
    c.status = ContactStatus::Confirmed;
    c.chipPng = {0x89, 'P', 'N', 'G', 0, 1, 2, 3};
    return c;
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ContactFile, ReadsBackWhatWasWritten) {
    test::RecordingFolder folder;
    const std::string path = (folder / "survey.contacts.gpkg");
    const Contact a = Sample(1, true);
    const Contact b = Sample(2, false);
    ASSERT_EQ(WriteContactChanges(path, {{1, &a}, {2, &b}}), "");
    Contact edited = a;
    edited.note = "anchor";
    ASSERT_EQ(WriteContactChanges(path, {{1, &edited}, {2, nullptr}}), "");
    ASSERT_EQ(WriteContactChanges(path, {{2, &b}}), "");

    const ContactFileRead read = ReadContactFile(path);
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_EQ(read.contacts.size(), 2u);
    const Contact& one = read.contacts[0].number == 1 ? read.contacts[0] : read.contacts[1];
    const Contact& two = read.contacts[0].number == 2 ? read.contacts[0] : read.contacts[1];
    EXPECT_EQ(one.note, "anchor");
    EXPECT_EQ(one.utcMs, a.utcMs);
    EXPECT_EQ(one.recordCounter, 41u);
    EXPECT_EQ(one.recordOffset, 123456u);
    EXPECT_EQ(one.status, ContactStatus::Confirmed);
    EXPECT_TRUE(one.bearingFromNorth);
    EXPECT_EQ(one.chipPng, a.chipPng);
    ASSERT_TRUE(one.position.has_value());
    EXPECT_DOUBLE_EQ(one.position->latitudeDeg, a.position->latitudeDeg);
    EXPECT_EQ(one.position->epsg, 32734);
    EXPECT_FALSE(two.position.has_value());

    // As GIS reads it: points in WGS 84, longitude first, one without a geometry.
    GDALDatasetH dataset = GDALOpenEx(path.c_str(), GDAL_OF_VECTOR, nullptr, nullptr, nullptr);
    ASSERT_NE(dataset, nullptr);
    OGRLayerH layer = GDALDatasetGetLayerByName(dataset, kContactsLayer);
    ASSERT_NE(layer, nullptr);
    EXPECT_STREQ(OSRGetAuthorityCode(OGR_L_GetSpatialRef(layer), nullptr), "4326");
    OGR_L_SetAttributeFilter(layer, "number = 1");
    OGRFeatureH feature = OGR_L_GetNextFeature(layer);
    ASSERT_NE(feature, nullptr);
    EXPECT_DOUBLE_EQ(OGR_G_GetX(OGR_F_GetGeometryRef(feature), 0), a.position->longitudeDeg);
    OGR_F_Destroy(feature);
    GDALClose(dataset);
}

// Whatever is wrong with a file named as a contacts file, it is refused with a message naming it,
// and neither reading nor writing changes a byte of it.
TEST(ContactFile, RefusesFilesThatAreNotContactsFiles) {
    test::RecordingFolder folder;
    const std::string good = (folder / "good.contacts.gpkg");
    const Contact a = Sample(1, true);
    ASSERT_EQ(WriteContactChanges(good, {{1, &a}}), "");
    const std::string whole = Bytes(good);
    const std::string other = (folder / "other.gpkg");
    {
        GDALDatasetH dataset =
            GDALCreate(GDALGetDriverByName("GPKG"), other.c_str(), 0, 0, 0, GDT_Unknown, nullptr);
        GDALDatasetCreateLayer(dataset, "points", nullptr, wkbPoint, nullptr);
        GDALClose(dataset);
    }
    const struct {
        const char* what;
        std::string bytes;
    } cases[] = {
        {"text", "number,note\n1,tyre\n"},
        {"empty", ""},
        {"cut short", whole.substr(0, whole.size() / 3)},
        {"pages overwritten", whole.substr(0, 4096) + std::string(whole.size() - 4096, '\x5a')},
        {"a GeoPackage of other points", Bytes(other)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string path = (folder / "bad.contacts.gpkg");
        std::ofstream(path, std::ios::binary | std::ios::trunc) << c.bytes;
        const ContactFileRead read = ReadContactFile(path);
        EXPECT_FALSE(read.ok);
        EXPECT_NE(read.error.find(path), std::string::npos) << read.error;
        EXPECT_TRUE(read.contacts.empty());
        EXPECT_NE(WriteContactChanges(path, {{1, &a}}), "");
        EXPECT_EQ(Bytes(path), c.bytes);
    }
}

// A folder that cannot be written keeps the writer's changes waiting; once it can be written,
// they are written without being given again.
TEST(ContactFile, WriterKeepsWhatItCannotWriteYet) {
    test::RecordingFolder folder;
    const std::filesystem::path blocked = (folder / "blocked");
    std::ofstream(blocked) << "a file where the folder should be";
    const std::string path = (blocked / "survey.contacts.gpkg").string();
    CContactWriter writer(std::chrono::milliseconds(20));
    writer.Put(path, Sample(1, true));
    writer.Put(path, Sample(2, false));
    EXPECT_FALSE(writer.Flush());
    CContactWriter::State state = writer.CurrentState();
    EXPECT_EQ(state.pending, 2u);
    EXPECT_NE(state.error.find("survey.contacts.gpkg"), std::string::npos) << state.error;

    std::filesystem::remove(blocked);
    std::filesystem::create_directory(blocked);
    writer.Remove(path, 2);
    EXPECT_TRUE(writer.Flush());
    state = writer.CurrentState();
    EXPECT_EQ(state.pending, 0u);
    EXPECT_EQ(state.error, "");
    const ContactFileRead read = ReadContactFile(path);
    ASSERT_TRUE(read.ok) << read.error;
    ASSERT_EQ(read.contacts.size(), 1u);
    EXPECT_EQ(read.contacts[0].number, 1);
}

} // namespace
} // namespace vexar::contacts
