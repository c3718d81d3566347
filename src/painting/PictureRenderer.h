#pragma once
// Draws the sonar view as the operator sees it: the 8-bit picture (or the Beam Test strips) in
// the current colour table, then the grid or Beam Test scale, the status texts and the measuring
// graphics. The view paints with it and the command-line renderer saves its result, so both show
// the same picture.

#include <QColor>
#include <QFont>
#include <QImage>
#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

class QPainter;

namespace vexar {

class CTamsorDoc;
class CPictureModel;
class CMeasureState;
struct MarkerOnPicture;

/// What the overlays put where: every text and the Beam Test lamp row, for the view's record
/// and for checking the layout.
struct OverlayItem {
    enum class Kind {
        RangeLabel, ///< a label of the range marks
        StatusText, ///< gains, range and scale in the corners
        Message,    ///< spinner, waiting, converting, held and stale messages
        Lamps,      ///< the Beam Test channel frames with their lamps
    };
    Kind kind = Kind::StatusText;
    QString text;
    QRect box;
};
using OverlayItems = std::vector<OverlayItem>;

/// The client-sized picture for the document's current state, RGB32. Empty when the model has no
/// client area yet. `measure` may be null (no measuring graphics); `items`, when given, receives
/// what the overlays drew where. `markers`, when given, are the contacts marked on top (Head Up).
QImage RenderDocumentPicture(const CTamsorDoc& doc, const CPictureModel& model,
                             const CMeasureState* measure = nullptr, OverlayItems* items = nullptr,
                             const std::vector<MarkerOnPicture>* markers = nullptr);

/// Same, drawn into `image`, whose pixels are reused when it has the client's size and is not
/// shared (a window that draws every ping allocates nothing).
void RenderDocumentPictureInto(QImage& image, const CTamsorDoc& doc, const CPictureModel& model,
                               const CMeasureState* measure = nullptr, OverlayItems* items = nullptr,
                               const std::vector<MarkerOnPicture>* markers = nullptr);

/// Same, for a client area of `size`: the model is resized first when its client area differs
/// (Fill Screen zoom re-fits the picture, which also takes its pan back). The result is exactly
/// `size`.
QImage RenderDocumentPicture(const CTamsorDoc& doc, CPictureModel& model, QSize size,
                             const CMeasureState* measure = nullptr, OverlayItems* items = nullptr,
                             const std::vector<MarkerOnPicture>* markers = nullptr);

/// Copies the picture or the Beam Test buffer through the current colour table into `target`
/// (client-sized RGB32, filled black beforehand). A stale live picture is dimmed.
void PaintSonarPicture(QImage& target, const CTamsorDoc& doc, const CPictureModel& model);

/// Grid or Beam Test scale, status texts and measuring graphics, in that order. Texts on the right
/// are placed by their measured width; the messages are moved clear of every other text and of
/// the lamps.
void PaintOverlays(QPainter& painter, const CTamsorDoc& doc, const CPictureModel& model,
                   const CMeasureState* measure, OverlayItems* items = nullptr);

/// Arial (a metric-compatible face where Arial is missing) whose cell height is `cellHeight` pixels.
QFont OverlayFont(int cellHeight, bool bold = false);

/// Colours of the overlays.
namespace overlay_colors {
inline const QColor kGrid(100, 20, 0);
inline const QColor kAxis(110, 110, 0);
inline const QColor kRangeLabel(180, 180, 150);
inline const QColor kStatus(200, 200, 0);
inline const QColor kSpinner(255, 250, 0);
inline const QColor kWaiting(255, 100, 0);
inline const QColor kChannelFrame(120, 120, 0);
inline const QColor kLampOutline(150, 50, 0);
inline const QColor kRedOn(250, 0, 0);
inline const QColor kRedOff(100, 0, 0);
inline const QColor kYellowOn(250, 250, 0);
inline const QColor kYellowOff(100, 100, 0);
inline const QColor kGreenOn(0, 250, 0);
inline const QColor kGreenOff(0, 100, 0);
inline const QColor kMeasureLine(120, 150, 126);
inline const QColor kMeasureText(220, 220, 0);
} // namespace overlay_colors

} // namespace vexar
