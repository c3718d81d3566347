// "Save Picture as GeoTIFF...": the picture of a played ping with a fix, placed on the map and
// turned by the heading, read back with GDAL; the item is offered only while such a ping is shown.

#include "ConsoleFixture.h"

#include "app/CMOndrelView.h"
#include "app/GeoPictureExport.h"
#include "files/CPlayer.h"
#include "navigation/NavigationMath.h"
#include "processing/HeadProcessors.h"
#include "support/RecordingFixture.h"

#include <QAction>
#include <QApplication>
#include <QMenu>

#include <gdal.h>

#include <cmath>
#include <vector>

namespace vexar::test {
namespace {

// Processing that leaves one bright spot at 5 m in the middle of the head whose sector is the
// right of the picture (heads 1 and 3 change places on an inverted unit).
struct SpotProcessing : IHeadProcessing {
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      const PingSettings& settings, IProcessedHeads& done) override {
        const int spotHead = settings.transducerUp != 0 ? 3 : 1;
        const int at = static_cast<int>(5.0f * static_cast<float>(settings.samples) / settings.rangeM);
        const int middle = settings.beams / 2;
        for (int k = 0; k < kHeadCount; ++k) {
            if (!flagged[static_cast<std::size_t>(k)]) {
                continue;
            }
            COndrel& head = heads[static_cast<std::size_t>(k)];
            head.m_headImage.fill(0.0f);
            for (int row = middle - 2; k == spotHead && row <= middle + 2; ++row) {
                for (int sample = at - 3; sample <= at + 3; ++sample) {
                    head.m_headImage[static_cast<std::size_t>(row) * kMaxSamples +
                                     static_cast<std::size_t>(sample)] = 255.0f;
                }
            }
            done.HeadProcessed(k);
        }
    }
    void ClearHistory() override {}

protected:
    void InitialiseProcessors(const PingSettings&) override {}
};

class GeoPictureTest : public ConsoleTest {
protected:
    /// Plays one ping whose sentence puts a level head at 2.5 N 3 E heading 30 degrees.
    void PlayPingWithFix(HeadPlane plane = HeadPlane::Level) {
        m_doc->EditSettings([plane](Settings& s) { s.mounting.plane = plane; });
        const std::string path = m_folder.filePath(QStringLiteral("nav.R96")).toStdString();
        WriteFile(path,
                  MakeRawRecord(
                      64, 0, "$AULOG,2;30.0,N,3;0.0,E,,-10.0,,30.0,0.0,0.0,0.0,,,0,0,0,0,0.00,1/1/2026,*"));
        ASSERT_TRUE(m_doc->OpenPlayback(path));
        ASSERT_EQ(m_doc->Playback().Step(), StepResult::Ping);
        QApplication::processEvents();
    }
    QAction* Item() {
        for (QAction* action : m_frame->FileMenu()->actions()) {
            if (action->text() == QStringLiteral("Save Picture as GeoTIFF...")) {
                return action;
            }
        }
        return nullptr;
    }
    bool Offered() {
        emit m_frame->FileMenu()->aboutToShow();
        return Item()->isEnabled();
    }
};

TEST_F(GeoPictureTest, OfferedWhileAPlayedPingWithAFixIsShown) {
    ASSERT_NE(Item(), nullptr);
    EXPECT_FALSE(Offered());
    PlayPingWithFix(HeadPlane::Vertical); // a cross-section is no view of the map
    EXPECT_FALSE(Offered());
    PlayPingWithFix();
    EXPECT_TRUE(Offered());
    m_doc->OnRealTime();
    EXPECT_FALSE(Offered());
}

// An echo drawn 5 m to starboard (the right of the picture) lies 5 m from the fix across the
// heading of 30 degrees: east 4.33 m, south 2.5 m, in the UTM zone of the fix.
TEST_F(GeoPictureTest, PlacesThePictureAtTheFixTurnedByTheHeading) {
    SpotProcessing spot;
    m_doc->PingRoutine().SetHeadProcessing(spot);
    PlayPingWithFix();
    ASSERT_EQ(m_doc->Shown().Settings().beams, 480);
    m_frame->View()->OnUpdate();
    const std::string path = m_folder.filePath(QStringLiteral("picture.tif")).toStdString();
    ASSERT_EQ(SavePictureAsGeoTiff(*m_doc, *m_frame->View(), path), "");

    GDALAllRegister();
    GDALDatasetH tif = GDALOpen(path.c_str(), GA_ReadOnly);
    ASSERT_NE(tif, nullptr);
    EXPECT_NE(std::string(GDALGetProjectionRef(tif)).find("UTM zone 31N"), std::string::npos);
    ASSERT_EQ(GDALGetRasterCount(tif), 4);
    double gt[6] = {};
    GDALGetGeoTransform(tif, gt);
    const int width = GDALGetRasterXSize(tif);
    const int height = GDALGetRasterYSize(tif);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    ASSERT_EQ(GDALDatasetRasterIO(tif, GF_Read, 0, 0, width, height, pixels.data(), width, height, GDT_Byte,
                                  4, nullptr, 4, width * 4, 1),
              CE_None);
    GDALClose(tif);
    // The middle of the brightest pixels.
    int brightest = 0;
    for (std::size_t i = 0; i < pixels.size(); i += 4) {
        if (pixels[i + 3] > 0) {
            brightest = std::max(brightest, pixels[i] + pixels[i + 1] + pixels[i + 2]);
        }
    }
    double east = 0.0;
    double north = 0.0;
    int count = 0;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                   static_cast<std::size_t>(x)) *
                                  4;
            if (pixels[i + 3] > 0 && pixels[i] + pixels[i + 1] + pixels[i + 2] >= brightest * 9 / 10) {
                east += gt[0] + (x + 0.5) * gt[1];
                north += gt[3] + (y + 0.5) * gt[5];
                ++count;
            }
        }
    }
    ASSERT_GT(count, 0);
    const UtmPoint fix = LatLonToUtm(2.5, 3.0);
    EXPECT_NEAR(east / count - fix.easting, 5.0 * std::cos(M_PI / 6.0), 0.1);
    EXPECT_NEAR(north / count - fix.northing, -5.0 * std::sin(M_PI / 6.0), 0.1);
}

} // namespace
} // namespace vexar::test
