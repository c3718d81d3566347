#pragma once
// CPictureModel: the sonar picture of the view, without any toolkit. It keeps the picture's
// geometry for the zoom and the client, and at every ping turns the document's combined image
// into an 8-bit palette-indexed disc through the per-pixel lookup tables of its CPixelMap,
// applies persistence and profile points, or has its CBeamTestPicture draw the Beam Test strips.
// The Qt view and the headless renderer only paint what this model holds.

#include "common/WorkerPool.h"
#include "config/SettingsValues.h"
#include "display/CBeamTestPicture.h"
#include "display/CPixelMap.h"
#include "display/ColorTables.h"
#include "display/PictureKernels.h"
#include "display/PictureOrientation.h"
#include "head/COndrel.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vexar {

class CMeasureState;

inline constexpr int kZoomFull = 0;
inline constexpr int kZoomHalf = 1;
inline constexpr int kZoomFillScreen = 2;
inline constexpr int kProfileDisplayPointsOnly = 3;
/// Picture value of a profile point.
inline constexpr std::uint8_t kProfilePointValue = 235;

/// What the picture is drawn from: the current ping as the document holds it.
struct PictureInput {
    const PingSettings* settings = nullptr;
    const ViewSettings* view = nullptr;
    const float* combinedImage = nullptr;   ///< kCombinedBeams rows of kMaxSamples values
    const float* combinedProfile = nullptr; ///< kCombinedBeams values
    const std::array<COndrel, kHeadCount>* heads = nullptr;
    float displayedPingPeriodMs = 250.0f;
    std::uint64_t geometryVersion = 0; ///< a change rebuilds the geometry
    std::uint64_t clearVersion = 0;    ///< a change clears the picture
    /// The bearing of the picture's top from north (the ping's heading plus the head's yaw),
    /// when its sentence gave a heading and the head is level: a North Up picture is turned by
    /// it. A vertical fan is a cross-section, never turned.
    std::optional<float> topBearingDeg;
};

class CPictureModel {
public:
    /// The per-ping picture build splits its rows over `workers` (the document's pool).
    explicit CPictureModel(WorkerPool& workers);
    CPictureModel(const CPictureModel&) = delete;
    CPictureModel& operator=(const CPictureModel&) = delete;

    // ---- Geometry helpers (pure) ----
    static SweepPlan PlanSweep(int beamsPerHead) { return CPixelMap::PlanSweep(beamsPerHead); }
    /// Picture side N for P data points and a zoom factor: a multiple of 4, at least 4,
    /// limited to the 2000 x 2000 capacity.
    static int PictureSide(int samples, float zoomFactor);
    static WeightTriple Weight(int index) { return CPixelMap::Weight(index); }
    /// Quarter-circle beam count Q for B beams per head (360, 180, 90).
    static int QuarterBeams(int beamsPerHead) { return CPixelMap::QuarterBeams(beamsPerHead); }
    /// Hold decay per ping in palette steps, or nothing when persistence has no effect.
    static std::optional<float> PersistenceDecay(float pingIntervalMs, int persistenceS);

    // ---- View life cycle ----
    /// First update: takes B, P, the colour table and the profile level and builds the tables for
    /// the zoom.
    void InitialUpdate(const PictureInput& input);
    /// Client area change. Fill Screen re-fits the picture.
    void Resize(const PictureInput& input, int width, int height);
    /// Per-ping update: geometry check, picture or Beam Test strips, clear request.
    void Update(const PictureInput& input);
    /// Recomputes picture size and pixel map for the current zoom factor.
    void Rebuild(const PictureInput& input);
    /// "Clear Image" typed in the view: every pixel 1, hold values 0.
    void ClearPicture();
    /// Clears the picture when the document asked for a clear since the model last looked (each
    /// update does this after its ping; a held picture gets no ping). True when it cleared.
    bool FollowClear(const PictureInput& input);
    /// Takes over a colour table index (clamped to 0..8).
    void SelectColorTable(int index) { m_colorTable = ClampColorTableIndex(index); }
    /// Moves the picture's centre by this many pixels left and up of the client's centre.
    void SetPan(int panX, int panY) {
        m_panX = panX;
        m_panY = panY;
    }
    /// A picture that fills the client (Fill Screen) shows the whole circle and is never panned:
    /// choosing that zoom, or fitting the picture to a new client, takes the pan back.
    void FollowZoomChoice(int zoomIndex) {
        if (zoomIndex == kZoomFillScreen) {
            SetPan(0, 0);
        }
    }

    // ---- State read by painting and tests ----
    int Side() const { return m_side; }
    float Radius() const { return m_radius; }
    float CentreX() const { return m_centreX; }
    float CentreY() const { return m_centreY; }
    int BeamsPerHead() const { return m_beams; }
    int Samples() const { return m_samples; }
    int QuarterBeams() const { return m_quarterBeams; }
    int DisplayMode() const { return m_displayMode; }
    int ClientWidth() const { return m_clientWidth; }
    int ClientHeight() const { return m_clientHeight; }
    int PanX() const { return m_panX; }
    int PanY() const { return m_panY; }
    /// Where the head is drawn in the client: its centre less the pan.
    int ScreenCentreX() const { return m_clientWidth / 2 - m_panX; }
    int ScreenCentreY() const { return m_clientHeight / 2 - m_panY; }
    /// Top of the Beam Test channel area (the lamps sit above it).
    int BeamTestTop() const { return m_beamTest.Top(); }
    /// Measuring scale k: pixels per stored measuring unit.
    float MeasureScale() const { return m_measureScale; }
    /// Picture pixels per data point: 1 at 100 %, 0.5 at 50 %, what fits the client at Fill Screen.
    float ZoomFactor() const { return m_zoomFactor; }
    /// How the picture shown is turned (the turn of the last ping drawn): markers over it turn
    /// their bearings relative to the head by the same.
    const PictureTurn& Turn() const { return m_turn; }
    const ColorTable& CurrentColorTable() const { return m_tables[static_cast<std::size_t>(m_colorTable)]; }
    const ColorTableSet& ColorTables() const { return m_tables; }

    /// N x N picture bytes, row-major, top row first.
    std::span<const std::uint8_t> Picture() const;
    std::uint8_t PictureAt(int x, int y) const { return m_picture[Offset(x, y)]; }
    PixelMapEntry PixelMapAt(int x, int y) const { return m_pixelMap.EntryAt(x, y); }
    RowSpan RowSpanAt(int y) const { return m_pixelMap.SpanAt(y); }
    /// Client-sized Beam Test picture (width x height bytes).
    std::span<const std::uint8_t> BeamTestBuffer() const { return m_beamTest.Buffer(); }

private:
    std::size_t Offset(int x, int y) const {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(m_side) + static_cast<std::size_t>(x);
    }
    void CheckGeometry(const PictureInput& input);
    void SetZoomFromIndex(const PictureInput& input);
    void ConvertCombinedImage(const PictureInput& input);
    void ConvertTurnedImage(const PictureInput& input);
    void BuildPicture(const PictureInput& input, int dimShift, std::optional<float> decay);
    void BuildRows(int firstRow, int endRow, int dimShift, std::optional<float> decay);
    void DrawProfilePoints(const PictureInput& input);

    // Cached document values.
    int m_beams = 0;
    int m_samples = 0;
    int m_quarterBeams = 0;
    int m_displayMode = kDisplayModePolar;
    int m_persistence = 0;
    int m_profileDisplay = 0;
    int m_colorTable = 0;

    std::uint64_t m_geometrySeen = 0;
    std::uint64_t m_clearSeen = 0;
    // Geometry.
    float m_zoomFactor = 1.0f;
    PictureTurn m_turn;
    int m_side = 0;
    float m_radius = 0.0f;
    float m_centreX = 0.0f;
    float m_centreY = 0.0f;
    float m_measureScale = 0.0f;
    int m_clientWidth = 0;
    int m_clientHeight = 0;
    int m_panX = 0;
    int m_panY = 0;
    int m_convertedRows = 0;

    // Buffers, sized once for the 2000 x 2000 capacity.
    std::vector<std::uint8_t> m_picture;
    std::vector<float> m_hold;
    std::vector<std::uint8_t> m_image8; ///< combined image clamped to bytes, sample-major
    CPixelMap m_pixelMap;
    CBeamTestPicture m_beamTest;
    ColorTableSet m_tables{};
    WorkerPool& m_workers;
};

} // namespace vexar
