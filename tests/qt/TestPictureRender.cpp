#include "acquisition/CTamsorDoc.h"
#include "display/CMeasureState.h"
#include "display/CPictureModel.h"
#include "display/OverlayLayout.h"
#include "painting/PictureRenderer.h"
#include "support/RecordingFixture.h"
#include "support/TestPing.h"

#include <QDir>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <memory>

namespace vexar {
namespace {

using namespace overlay_colors;

constexpr double kPi = 3.14159265358979323846;

// Stands in for the ping processors: gives every processed head the element status the test
// asks for and nothing else.
class StatusProcessing : public IHeadProcessing {
public:
    void InitialiseProcessors(const PingSettings&) override {}
    void ClearHistory() override {}
    void ProcessHeads(std::array<COndrel, kHeadCount>& heads, const std::array<bool, kHeadCount>& flagged,
                      const PingSettings&, IProcessedHeads& done) override {
        for (int k = 0; k < kHeadCount; ++k) {
            if (flagged[static_cast<std::size_t>(k)]) {
                heads[static_cast<std::size_t>(k)].m_elementStatus = status;
                done.HeadProcessed(k);
            }
        }
    }
    std::array<std::uint8_t, kElementCount> status{};
};

// The picture model is fed the test's combined image, profile and heads with the document's
// settings; the overlays read the document. The document has a clock and timers but no link, so
// that the stale count runs on the fake clock and Hold leaves it alone.
class PictureRenderTest : public ::testing::Test {
protected:
    PictureRenderTest() { NewDocument(); }

    void NewDocument() {
        DocumentPorts ports = world.Ports();
        ports.link = nullptr;
        doc = std::make_unique<CTamsorDoc>(ports);
        doc->PingRoutine().SetHeadProcessing(processing);
        model = std::make_unique<CPictureModel>(serial);
    }

    void Configure(int beams, int samples, int zoomIndex, QSize size) {
        doc->EditSettings([=](Settings& s) {
            s.sonar.beams = beams;
            s.sonar.samples = samples;
            s.sonar.displayMode = kDisplayModePolar;
            s.sonar.rangeM = 10.0f;
            s.sonar.displayGain = 50;
            s.sonar.soundVelocity = 1500.0f;
            s.sonar.startGainDb = 6;
            s.view.grid = GridStyle::Polar;
            s.view.rangeMark = 1;
            s.view.unit = DistanceUnit::Metric;
            s.view.colorTable = 0;
            s.view.zoomIndex = zoomIndex;
        });
        // One ping came, then none for the watchdog's period: the next ping is the second.
        test::TestPing().EnterInto(*doc);
        doc->OnTimer(kWatchdogTimer);
        model->InitialUpdate(Input());
        model->Resize(Input(), size.width(), size.height());
    }
    void Edit(const std::function<void(Settings&)>& edit) { doc->EditSettings(edit); }

    PictureInput Input() const {
        PictureInput input = PictureInputOf(*doc);
        input.combinedImage = combined.data();
        input.combinedProfile = profile.data();
        input.heads = heads.get();
        return input;
    }
    float& ImageAt(int beam, int sample) {
        return combined[static_cast<std::size_t>(beam) * kMaxSamples + static_cast<std::size_t>(sample)];
    }

    /// A new ping: the document has new data and the picture is built from the test's image.
    void Ping() {
        test::TestPing().EnterInto(*doc);
        (*heads)[0].m_newData = 1;
        model->Update(Input());
    }

    /// The live picture has not changed for `seconds` whole seconds (0: the count starts afresh).
    void StaleFor(int seconds) {
        doc->StartAcquisition();
        if (seconds > 0) {
            world.clock.Advance(static_cast<std::uint64_t>(seconds) * 1000);
            doc->OnTimer(kStaleTimer);
        }
    }

    /// Plays a recording of one ping of `samples` samples, recorded with data gain `displayGain`.
    void Play(int samples, int displayGain) {
        test::Bytes record = test::MakeRawRecord(samples == 1000 ? 128 : 64, 0);
        record[350] = static_cast<std::uint8_t>(displayGain);
        test::WriteFile(folder / "played.R96", record);
        ASSERT_TRUE(doc->OpenPlayback(folder / "played.R96", true));
        ASSERT_EQ(doc->Playback().Step(), StepResult::Ping);
    }

    QImage Render(const CMeasureState* measure = nullptr) {
        return RenderDocumentPicture(*doc, *model, measure);
    }

    int CentreX() const { return model->ScreenCentreX(); }
    int CentreY() const { return model->ScreenCentreY(); }

    static bool Is(const QImage& image, int x, int y, const QColor& colour) {
        return image.valid(x, y) && QColor(image.pixel(x, y)) == colour;
    }

    static int Count(const QImage& image, const QColor& colour, QRect area = {}) {
        if (area.isNull()) {
            area = image.rect();
        }
        int count = 0;
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x) {
                count += Is(image, x, y, colour) ? 1 : 0;
            }
        }
        return count;
    }

    test::RecordingFolder folder;
    test::FakeWorld world;
    StatusProcessing processing;
    std::unique_ptr<CTamsorDoc> doc;
    std::vector<float> combined = std::vector<float>(static_cast<std::size_t>(kCombinedBeams) * kMaxSamples);
    std::vector<float> profile = std::vector<float>(kCombinedBeams);
    std::unique_ptr<std::array<COndrel, kHeadCount>> heads =
        std::make_unique<std::array<COndrel, kHeadCount>>();
    WorkerPool serial{0};
    std::unique_ptr<CPictureModel> model;
};

TEST_F(PictureRenderTest, OverlayFontIsArialOrItsMetricTwin) {
    const QFont font = OverlayFont(17);
    const QString family = QFontInfo(font).family();
    EXPECT_TRUE(family == "Arial" || family == "Liberation Sans") << family.toStdString();
    EXPECT_LE(QFontMetrics(font).height(), 17);
    EXPECT_GE(QFontMetrics(font).height(), 15);
    EXPECT_EQ(QFontInfo(OverlayFont(22, true)).weight(), QFont::Bold);
}

TEST_F(PictureRenderTest, TargetsAppearAtTheirBearingClockwiseFromTheTop) {
    Configure(120, 500, kZoomHalf, QSize(640, 600)); // 360 beams, N = 500
    Edit([](Settings& s) {
        s.view.grid = GridStyle::None;
        s.view.colorTable = 3; // Grey: every echo above 101 is white, nothing else is
    });
    model->SelectColorTable(3);
    model->SetPan(40, -25);
    const double radius = 300.0 * static_cast<double>(model->Radius()) / 500.0;
    const SweepPlan plan = CPictureModel::PlanSweep(120);
    for (const int beam : {10, 90, 180, 270}) {
        std::fill(combined.begin(), combined.end(), 0.0f);
        for (int s = 295; s <= 305; ++s) {
            ImageAt(beam, s) = 255.0f;
        }
        Ping();
        const QImage rendered = Render();
        double sx = 0.0;
        double sy = 0.0;
        int count = 0;
        for (int y = 0; y < rendered.height(); ++y) {
            for (int x = 0; x < rendered.width(); ++x) {
                if (Is(rendered, x, y, Qt::white)) {
                    sx += x + 0.5 - CentreX();
                    sy += y + 0.5 - CentreY();
                    ++count;
                }
            }
        }
        ASSERT_GT(count, 0) << beam;
        sx /= count;
        sy /= count;
        double bearing = std::atan2(sx, -sy) * 180.0 / kPi;
        bearing += bearing < 0.0 ? 360.0 : 0.0;
        EXPECT_NEAR(bearing, (beam + 0.5) * 360.0 / plan.totalBeams, 0.75) << beam;
        EXPECT_NEAR(std::hypot(sx, sy), radius, 2.0) << beam;
    }
}

TEST_F(PictureRenderTest, FifthRingLiesOnThePictureEdgeAt1500MetresPerSecond) {
    Configure(120, 500, kZoomHalf, QSize(640, 600));
    Edit([](Settings& s) { s.view.rangeMark = 0; });
    Ping();
    // Walk outwards at 30 degrees and note where the ring colour is met beyond the fourth ring.
    const double edge = static_cast<double>(model->Radius());
    auto fifthRing = [&](const QImage& rendered) {
        const double a = 30.0 * kPi / 180.0;
        for (double t = edge * 0.9; t < edge * 1.3; t += 0.25) {
            const int x = static_cast<int>(std::lround(CentreX() + t * std::sin(a)));
            const int y = static_cast<int>(std::lround(CentreY() - t * std::cos(a)));
            if (Is(rendered, x, y, kGrid)) {
                return t;
            }
        }
        return -1.0;
    };
    EXPECT_NEAR(fifthRing(Render()), edge, 1.5);
    Edit([](Settings& s) { s.sonar.soundVelocity = 1400.0f; });
    EXPECT_NEAR(fifthRing(Render()), edge * 1500.0 / 1400.0, 1.5);
}

TEST_F(PictureRenderTest, GridNoneDrawsNoRingsAxesOrLabels) {
    Configure(120, 500, kZoomHalf, QSize(640, 600));
    Ping();
    const QImage withGrid = Render();
    EXPECT_GT(Count(withGrid, kGrid), 500);
    EXPECT_GT(Count(withGrid, kAxis), 500);
    EXPECT_GT(Count(withGrid, kRangeLabel), 20);
    Edit([](Settings& s) { s.view.grid = GridStyle::None; });
    const QImage without = Render();
    // Inside the picture, away from the status texts, whose smoothed edges may match any colour.
    const QRect disc(CentreX() - 240, CentreY() - 240, 480, 480);
    EXPECT_EQ(Count(without, kGrid, disc), 0);
    EXPECT_EQ(Count(without, kAxis, disc), 0);
    EXPECT_EQ(Count(without, kRangeLabel, disc), 0);
}

TEST_F(PictureRenderTest, RectangularGridDrawsStraightLines) {
    Configure(120, 500, kZoomHalf, QSize(640, 600));
    Edit([](Settings& s) {
        s.view.grid = GridStyle::Rectangular;
        s.view.rangeMark = 0;
    });
    Ping();
    const QImage rendered = Render();
    // The horizontal line one step (R / 5 = 50 px) above the centre, across the whole picture.
    const int y = CentreY() - 50;
    EXPECT_TRUE(Is(rendered, CentreX() - 200, y, kGrid));
    EXPECT_TRUE(Is(rendered, CentreX() + 240, y, kGrid));
    EXPECT_TRUE(Is(rendered, CentreX() + 30, CentreY(), kAxis));
}

TEST_F(PictureRenderTest, SpinnerWithDataWaitingMessageWithout) {
    Configure(120, 500, kZoomHalf, QSize(640, 600));
    const QRect topRight(630, 0, 10, 20);
    const QRect middle(0, 290, 640, 30);
    ASSERT_EQ(doc->PingRoutine().Head(0).m_newData, 0);
    const QImage waiting = Render();
    EXPECT_GT(Count(waiting, kWaiting, middle), 10);
    EXPECT_EQ(Count(waiting, Qt::black, topRight), topRight.width() * topRight.height());
    Ping();
    const QImage running = Render();
    EXPECT_EQ(Count(running, kWaiting), 0);
    EXPECT_LT(Count(running, Qt::black, topRight), topRight.width() * topRight.height() - 5);
    // The spinner moves on with the ping counter.
    Ping();
    EXPECT_NE(Render().copy(topRight), running.copy(topRight));
}

TEST_F(PictureRenderTest, HeldAndConvertingMessages) {
    Configure(120, 500, kZoomHalf, QSize(640, 600));
    Ping();
    const QRect topBand(150, 0, 340, 24);
    if (!doc->IsHeld()) {
        doc->OnHold();
    }
    EXPECT_GT(Count(Render(), kWaiting, topBand), 10);
    // A running conversion in playback replaces "Held..." by its own message.
    Play(500, 50);
    ASSERT_TRUE(doc->Conversion().Start());
    if (!doc->IsHeld()) {
        doc->OnHold();
    }
    const QImage converting = Render();
    EXPECT_EQ(Count(converting, kWaiting, topBand), 0);
    EXPECT_GT(Count(converting, kStatus, topBand), 10);
}

TEST_F(PictureRenderTest, BeamTestLampsFollowTheElementStatus) {
    Configure(120, 1000, kZoomFull, QSize(800, 600));
    processing.status.fill(1);
    processing.status[0] = 2; // weak
    processing.status[1] = 0; // no signal
    Ping();
    Edit([](Settings& s) {
        s.sonar.displayMode = kDisplayModeBeamTest;
        s.view.grid = GridStyle::Line;
    });
    for (int k = 0; k < kHeadCount; ++k) {
        (*heads)[static_cast<std::size_t>(k)].m_rawSamples.fill(0); // full scale where drawn
        (*heads)[static_cast<std::size_t>(k)].m_newData = k == 0 ? 1 : 0;
    }
    model->Update(Input());
    const QImage image = Render();
    // w = (800 / 4 - 8) / 16 = 12: lamps of diameter 8 centred at 4 + 12 i + 6.
    EXPECT_TRUE(Is(image, 10, 16, kRedOn));
    EXPECT_TRUE(Is(image, 10, 26, kYellowOff));
    EXPECT_TRUE(Is(image, 10, 36, kGreenOff));
    EXPECT_TRUE(Is(image, 22, 16, kRedOff));
    EXPECT_TRUE(Is(image, 22, 26, kYellowOn));
    EXPECT_TRUE(Is(image, 34, 36, kGreenOn));
    // Strips: head 0 has data (white in NormHi at 255 is dark red), head 2 has none and stays black.
    const int row = model->BeamTestTop() + 120;
    EXPECT_FALSE(Is(image, 50, row, Qt::black));
    EXPECT_TRUE(Is(image, 2 * 200 + 50, row, Qt::black));
    EXPECT_EQ(Count(image, kGrid, QRect(0, model->BeamTestTop() + 19, 800, 1)), 800 - 3 - 3);
}

// Whatever the size, zoom, pan and mode: the messages cover no other text and no lamp, and every
// text lies inside the picture.
TEST_F(PictureRenderTest, TextsFitAndMessagesCoverNothing) {
    struct Case {
        QSize size;
        int zoom;
        QPoint pan;
        int mode;
        bool playback;
    };
    const Case cases[] = {
        {{1020, 620}, kZoomFull, {0, 0}, kDisplayModePolar, false},
        {{1020, 620}, kZoomHalf, {0, 0}, kDisplayModePolar, true},
        {{1020, 620}, kZoomFillScreen, {0, 0}, kDisplayModePolar, false},
        {{1276, 900}, kZoomFull, {180, -240}, kDisplayModePolar, true},
        {{700, 1000}, kZoomHalf, {0, 300}, kDisplayModePolar, false},
        {{1020, 620}, kZoomFull, {0, 0}, kDisplayModeBeamTest, false},
        {{1276, 900}, kZoomFull, {0, 0}, kDisplayModeBeamTest, true},
    };
    for (const Case& c : cases) {
        for (const int newData : {0, 1}) {
            NewDocument();
            Configure(480, 1000, c.zoom, c.size);
            Edit([&c](Settings& s) {
                s.sonar.displayMode = c.mode;
                s.sonar.displayGain = 100;
            });
            model->SetPan(c.pan.x(), c.pan.y());
            StaleFor(12);
            if (c.playback) {
                Play(1000, 100);
                if (newData == 0) {
                    // Opened again: no ping of it is played yet.
                    ASSERT_TRUE(doc->OpenPlayback(folder / "played.R96", true));
                }
            } else if (newData != 0) {
                test::TestPing().EnterInto(*doc);
            }
            if (!doc->IsHeld()) {
                doc->OnHold();
            }
            model->Update(Input());
            ASSERT_EQ(doc->PingRoutine().Head(0).m_newData, newData);
            OverlayItems items;
            RenderDocumentPicture(*doc, *model, nullptr, &items);
            const QRect client(0, 0, c.size.width(), c.size.height());
            const std::string where = std::to_string(c.size.width()) + "x" + std::to_string(c.size.height()) +
                                      " zoom " + std::to_string(c.zoom) + " mode " + std::to_string(c.mode) +
                                      " data " + std::to_string(newData);
            int messages = 0;
            for (const OverlayItem& item : items) {
                if (item.kind == OverlayItem::Kind::RangeLabel) {
                    continue; // labels follow the rings, also out of the picture
                }
                EXPECT_TRUE(client.contains(item.box)) << item.text.toStdString() << " at " << where;
                if (item.kind != OverlayItem::Kind::Message) {
                    continue;
                }
                ++messages;
                for (const OverlayItem& other : items) {
                    if (&other != &item) {
                        EXPECT_FALSE(item.box.intersects(other.box))
                            << item.text.toStdString() << " covers " << other.text.toStdString() << " at "
                            << where;
                    }
                }
            }
            // Held, stale (live only), and the spinner or the waiting message.
            EXPECT_EQ(messages, (c.playback ? 1 : 2) + 1) << where;
        }
    }
}

// A live picture without a new ping for seconds is dimmed and says so; the next ping ends it.
TEST_F(PictureRenderTest, StalePictureIsDimmedAndSaysSo) {
    Configure(120, 500, kZoomHalf, QSize(640, 600));
    Edit([](Settings& s) { s.view.colorTable = 3; });
    model->SelectColorTable(3);
    std::fill(combined.begin(), combined.end(), 255.0f);
    Ping();
    const QPoint echo(CentreX() + 100, CentreY() + 60);
    ASSERT_TRUE(Is(Render(), echo.x(), echo.y(), Qt::white));
    StaleFor(7);
    ASSERT_EQ(doc->Live().Link().staleSeconds, 7);
    OverlayItems items;
    const QImage stale = RenderDocumentPicture(*doc, *model, nullptr, &items);
    EXPECT_LT(qGray(stale.pixel(echo)), 128);
    const auto banner = std::find_if(items.begin(), items.end(), [](const OverlayItem& item) {
        return item.text == QStringLiteral("No new data for 7 s");
    });
    ASSERT_NE(banner, items.end());
    EXPECT_NEAR(banner->box.center().x(), 320, 2);
    StaleFor(0);
    items.clear();
    EXPECT_TRUE(Is(RenderDocumentPicture(*doc, *model, nullptr, &items), echo.x(), echo.y(), Qt::white));
    EXPECT_TRUE(std::none_of(items.begin(), items.end(), [](const OverlayItem& item) {
        return item.text.startsWith(QStringLiteral("No new data"));
    }));
}

TEST_F(PictureRenderTest, MeasureGraphics) {
    Configure(120, 500, kZoomHalf, QSize(640, 600));
    Edit([](Settings& s) { s.view.grid = GridStyle::None; });
    Ping();
    const float k = model->MeasureScale();
    CMeasureState measure;
    measure.m_active = true;
    measure.m_a.Set(200, 200, CentreX(), CentreY(), k);
    measure.m_b.Set(300, 260, CentreX(), CentreY(), k);
    const QImage rendered = Render(&measure);
    EXPECT_TRUE(Is(rendered, 204, 200, kMeasureLine)); // cross at A
    EXPECT_TRUE(Is(rendered, 300, 255, kMeasureLine)); // cross at B
    EXPECT_TRUE(Is(rendered, 250, 230, kMeasureLine)); // the line between them
    EXPECT_GT(Count(rendered, kMeasureText, QRect(315, 252, 60, 20)), 10);
    measure.m_active = false;
    EXPECT_EQ(Count(Render(&measure), kMeasureLine), 0);
}

TEST_F(PictureRenderTest, ReverseGreyShowsTheSquareOutsideTheDiscWhite) {
    Configure(120, 500, kZoomHalf, QSize(640, 600));
    model->SelectColorTable(4);
    Ping();
    const QImage rendered = Render();
    const int left = CentreX() - model->Side() / 2;
    const int top = CentreY() - model->Side() / 2;
    EXPECT_TRUE(Is(rendered, left + 3, top + 3, Qt::white));
    EXPECT_TRUE(Is(rendered, left - 3, top + 3, Qt::black));
}

TEST_F(PictureRenderTest, RenderAtARequestedSize) {
    Configure(120, 500, kZoomFillScreen, QSize(640, 600));
    Ping();
    const QImage rendered = RenderDocumentPicture(*doc, *model, QSize(801, 403));
    EXPECT_EQ(rendered.size(), QSize(801, 403));
    EXPECT_EQ(model->Side(), 404);
}

// A fixed synthetic ping at 50 %, with grid, labels, texts, profile points and measuring, compared
// byte for byte. Regenerate only on purpose: VEXAR_REGENERATE_GOLDEN=1.
TEST_F(PictureRenderTest, GoldenPictureAtHalfZoom) {
    Configure(120, 500, kZoomHalf, QSize(560, 540));
    Edit([](Settings& s) {
        s.sonar.detectProfilePoints = 1;
        s.view.profileDisplay = 0;
    });
    for (int b = 0; b < 370; ++b) {
        for (int s = 0; s < 500; ++s) {
            float v = static_cast<float>((s / 20) % 6) * 25.0f + static_cast<float>(b % 90 < 45 ? 0 : 10);
            if (s >= 300 && s < 306) {
                v = 220.0f;
            }
            if (b >= 40 && b < 45 && s >= 150 && s < 170) {
                v = 300.0f;
            }
            ImageAt(b, s) = v;
        }
        profile[static_cast<std::size_t>(b)] = b < 360 ? static_cast<float>(400 + b % 20) : 0.0f;
    }
    Ping();
    CMeasureState measure;
    measure.m_active = true;
    measure.m_a.Set(150, 170, CentreX(), CentreY(), model->MeasureScale());
    measure.m_b.Set(320, 330, CentreX(), CentreY(), model->MeasureScale());
    const QImage rendered = Render(&measure);

    const QString path = QStringLiteral(VEXAR_TEST_DATA "/picture_golden_50.png");
    if (qEnvironmentVariableIntValue("VEXAR_REGENERATE_GOLDEN") == 1) {
        ASSERT_TRUE(rendered.save(path, "PNG"));
        GTEST_SKIP() << "golden picture written to " << path.toStdString();
    }
    QImage golden(path);
    ASSERT_FALSE(golden.isNull()) << "missing " << path.toStdString();
    golden = golden.convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(golden.size(), rendered.size());
    int differing = 0;
    for (int y = 0; y < rendered.height(); ++y) {
        for (int x = 0; x < rendered.width(); ++x) {
            differing += rendered.pixel(x, y) != golden.pixel(x, y) ? 1 : 0;
        }
    }
    if (differing != 0) {
        rendered.save(QDir::temp().filePath(QStringLiteral("picture_golden_50.actual.png")), "PNG");
    }
    EXPECT_EQ(differing, 0)
        << "the rendering differs; the actual picture is in "
        << QDir::temp().filePath(QStringLiteral("picture_golden_50.actual.png")).toStdString();
}

} // namespace
} // namespace vexar
