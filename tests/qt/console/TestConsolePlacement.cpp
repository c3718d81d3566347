// The console places what the operator points at where it is: on a recording of the simulated
// head running past a reflector ahead of it, the pointer over the reflector's echo reads its true
// place, a contact marked there lies there, and the picture saved as a GeoTIFF shows it where the
// mosaic of the same recording does.

#include "ConsoleFixture.h"

#include "../../e2e/TruthFile.h"
#include "app/CContactsController.h"
#include "app/CInfoPanel.h"
#include "app/CMOndrelView.h"
#include "app/ConsoleCommands.h"
#include "app/ContactDocument.h"
#include "app/GeoPictureExport.h"
#include "contacts/ContactMarking.h"
#include "navigation/HeadPlacement.h"
#include "support/HeadProcess.h"

#include <QApplication>
#include <QImage>
#include <QLabel>
#include <QRegularExpression>

#include <gdal.h>

#include <cmath>
#include <fstream>

namespace vexar::test {
namespace {

/// The middle of the brightest pixels (within a tenth of the brightest) of a raster within a metre
/// of `near`: its first band, or the mean of the colour bands where an alpha band marks the
/// picture. False when the raster cannot be read or shows nothing there.
bool BrightestSpot(const std::string& path, const MapSpot& near, MapSpot& spot) {
    GDALAllRegister();
    GDALDatasetH raster = GDALOpen(path.c_str(), GA_ReadOnly);
    if (raster == nullptr) {
        return false;
    }
    double gt[6] = {};
    GDALGetGeoTransform(raster, gt);
    const int width = GDALGetRasterXSize(raster);
    const int height = GDALGetRasterYSize(raster);
    const int bands = std::min(GDALGetRasterCount(raster), 4);
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) *
                                     static_cast<std::size_t>(bands));
    const CPLErr read = GDALDatasetRasterIO(raster, GF_Read, 0, 0, width, height, pixels.data(), width,
                                            height, GDT_Byte, bands, nullptr, bands, width * bands, 1);
    GDALClose(raster);
    if (read != CE_None) {
        return false;
    }
    struct Pixel {
        double east, north, value;
    };
    std::vector<Pixel> around;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::uint8_t* p =
                pixels.data() + (static_cast<std::size_t>(y) * static_cast<std::size_t>(width) +
                                 static_cast<std::size_t>(x)) *
                                    static_cast<std::size_t>(bands);
            const Pixel pixel{gt[0] + (x + 0.5) * gt[1], gt[3] + (y + 0.5) * gt[5],
                              bands == 4 ? (p[3] > 0 ? (p[0] + p[1] + p[2]) / 3.0 : 0.0) : p[0]};
            if (std::hypot(pixel.east - near.easting, pixel.north - near.northing) <= 1.0) {
                around.push_back(pixel);
            }
        }
    }
    double top = 0.0;
    for (const Pixel& p : around) {
        top = std::max(top, p.value);
    }
    // The brightness-weighted middle of the cells at least half as bright as the brightest: one
    // brightest cell, or the few next to it, lies anywhere within an echo's width.
    double east = 0.0;
    double north = 0.0;
    double weight = 0.0;
    for (const Pixel& p : around) {
        if (top > 0.0 && p.value >= 0.5 * top) {
            east += p.value * p.east;
            north += p.value * p.north;
            weight += p.value;
        }
    }
    spot = weight > 0.0 ? MapSpot{east / weight, north / weight} : MapSpot{};
    return weight > 0.0;
}

class PlacementTest : public ConsoleTest {
protected:
    std::string Path(const char* name) const {
        return m_folder.filePath(QString::fromLatin1(name)).toStdString();
    }

    /// A recording of a level head running east at 1 m/s towards a reflector 8 m ahead, its truth,
    /// and the mosaic vexar-cli makes of it.
    void RecordRunPastReflector() {
        std::ofstream(Path("Cli.INI"))
            << "[System]\nIPAddress_Sonar1=127.0.0.1\nIPAddress_Output1=127.0.0.1\n"
               "RemotePort_Output1=4041\nSound Velocity=1500.00\nPing Delay=100\n"
               "[Sonar]\nOperating Range=3\nNumber of Samples=1000\nBeams=480\n"
               "[Mounting]\nHead Plane=Level\n";
        HeadProcess head;
        const std::uint16_t port = head.Start(0, {"--sound-velocity", "1500", "--scene", "plain", "--noise",
                                                  "0.002", "--target", "0,8,0.3", "--speed", "1", "--heading",
                                                  "90", "--nav-link", QString::fromStdString(Path("nav")),
                                                  "--truth", QString::fromStdString(Path("truth.csv"))});
        ASSERT_NE(port, 0);
        QString output;
        ASSERT_EQ(RunCli({"record", "--sonar", QStringLiteral("127.0.0.1:%1").arg(port), "--nav",
                          QString::fromStdString("serial:" + Path("nav")), "--duration", "2",
                          QString::fromStdString(Path("run.R96"))},
                         Path("Cli.INI"), output),
                  0)
            << output.toStdString();
        head.Kill();
        ASSERT_EQ(RunCli({"mosaic", "--cell", "0.1", "--out", QString::fromStdString(Path("run.tif")),
                          QString::fromStdString(Path("run.R96"))},
                         Path("Cli.INI"), output),
                  0)
            << output.toStdString();
    }
};

// The operator puts the pointer on the reflector's echo (the brightest pixel where the picture
// draws it) on a ping half-way through the run.
TEST_F(PlacementTest, PointerContactAndGeoTiffPutTheReflectorAheadWhereItIs) {
    ASSERT_NO_FATAL_FAILURE(RecordRunPastReflector());
    const Truth truth = ReadTruth(Path("truth.csv"));
    ASSERT_EQ(truth.points.size(), 1u);
    const MapSpot reflector = truth.points.begin()->second;
    m_doc->EditSettings([](Settings& s) {
        s.mounting.plane = HeadPlane::Level;
        s.view.zoomIndex = kZoomFillScreen; // the whole circle on the screen
    });
    ASSERT_TRUE(m_doc->OpenPlayback(Path("run.R96")));
    for (int ping = 0; ping < 8; ++ping) {
        ASSERT_EQ(m_doc->Playback().Step(), StepResult::Ping);
    }
    CMOndrelView& view = *m_frame->View();
    view.OnUpdate();
    QApplication::processEvents();
    const std::optional<HeadPose> pose = PoseOfShownPing(*m_doc);
    ASSERT_TRUE(pose.has_value());
    ASSERT_EQ(pose->Projection().zone, truth.zone);
    const FanPoint fan = pose->PictureOf({reflector.easting, reflector.northing, pose->Head().down},
                                         m_doc->Shown().Settings().beams);
    const MarkerScreen expected = MarkerScreenPlace(
        PicturePoint{static_cast<float>(fan.bearingDeg), static_cast<float>(fan.slantM), 0.0},
        contact_doc::FrameOf(*m_doc, view.Picture()));
    ASSERT_TRUE(expected.inside) << fan.bearingDeg << " " << fan.slantM << " at " << expected.x << ","
                                 << expected.y;
    const QImage drawn = view.grab().toImage();
    int bestX = 0;
    int bestY = 0;
    int best = -1;
    for (int y = static_cast<int>(expected.y) - 8; y <= static_cast<int>(expected.y) + 8; ++y) {
        for (int x = static_cast<int>(expected.x) - 8; x <= static_cast<int>(expected.x) + 8; ++x) {
            if (drawn.valid(x, y) && qGray(drawn.pixel(x, y)) > best) {
                best = qGray(drawn.pixel(x, y));
                bestX = x;
                bestY = y;
            }
        }
    }
    ASSERT_GT(best, 50);
    view.PointerMovedTo(bestX, bestY);

    const QRegularExpression readout(QStringLiteral("^E ([0-9.]+) m  N ([0-9.]+) m  zone (\\d+)$"));
    const auto read = readout.match(m_frame->InfoPanel()->MapPositionPane()->text());
    ASSERT_TRUE(read.hasMatch()) << m_frame->InfoPanel()->MapPositionPane()->text().toStdString();
    EXPECT_EQ(read.captured(3).toInt(), truth.zone);
    EXPECT_LT(std::hypot(read.captured(1).toDouble() - reflector.easting,
                         read.captured(2).toDouble() - reflector.northing),
              0.5);

    m_frame->OnCommand(kCmdMarkContact);
    ASSERT_EQ(m_frame->Contacts().List().All().size(), 1u);
    const Contact& contact = m_frame->Contacts().List().All()[0];
    ASSERT_TRUE(contact.position.has_value());
    EXPECT_LT(std::hypot(contact.position->easting - reflector.easting,
                         contact.position->northing - reflector.northing),
              0.5);
    m_frame->Contacts().FlushWrites();

    ASSERT_EQ(SavePictureAsGeoTiff(*m_doc, view, Path("picture.tif")), "");
    MapSpot inPicture;
    MapSpot inMosaic;
    ASSERT_TRUE(BrightestSpot(Path("picture.tif"), reflector, inPicture));
    ASSERT_TRUE(BrightestSpot(Path("run.tif"), reflector, inMosaic));
    EXPECT_LE(std::fabs(inPicture.easting - inMosaic.easting), 0.2);
    EXPECT_LE(std::fabs(inPicture.northing - inMosaic.northing), 0.2);
    std::printf(
        "reflector ahead: readout %.3f m, contact %.3f m from the truth; picture and mosaic %.3f m apart\n",
        std::hypot(read.captured(1).toDouble() - reflector.easting,
                   read.captured(2).toDouble() - reflector.northing),
        std::hypot(contact.position->easting - reflector.easting,
                   contact.position->northing - reflector.northing),
        std::hypot(inPicture.easting - inMosaic.easting, inPicture.northing - inMosaic.northing));
}

} // namespace
} // namespace vexar::test
