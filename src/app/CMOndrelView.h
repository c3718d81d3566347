#pragma once
// CMOndrelView: the sonar view. It paints the picture model with the shared overlay renderer,
// turns mouse and pointer keys into the readout, panning and measuring of CViewPointer, and offers
// the File menu on the right button.

#include "display/CPictureModel.h"
#include "display/ViewPointer.h"
#include "painting/ContactMarkerPainter.h"
#include "painting/PictureRenderer.h"

#include <QImage>
#include <QList>
#include <QWidget>

#include <functional>
#include <optional>

class QMenu;

namespace vexar {

class CTamsorDoc;

class CMOndrelView : public QWidget {
    Q_OBJECT
public:
    explicit CMOndrelView(CTamsorDoc& doc, QWidget* parent = nullptr);
    ~CMOndrelView() override;

    /// Per-ping update and repaint.
    void OnUpdate();
    /// After a command: a clear the document asked for is applied now, not at the next ping (a
    /// held picture gets none), Fill Screen takes the pan back at once, and the view repaints.
    void FollowDocument();
    /// The pointer keys: the pointer moves by (dx, dy) pixels and the move is processed.
    void MovePointerBy(int dx, int dy);
    /// A pointer move at view position (x, y), as the mouse would deliver it.
    void PointerMovedTo(int x, int y);
    void SetFileMenu(QMenu* menu) { m_fileMenu = menu; }
    /// Called after every pointer move in Polar mode with the new readout.
    void SetReadoutHandler(std::function<void()> handler) { m_readout = std::move(handler); }
    /// The contacts' markers drawn over the picture at each paint; empty: none.
    void SetMarkerSource(std::function<ContactMarkers()> source) { m_markers = std::move(source); }
    /// Called when a click fixes the measure tool's end point (x, y), with the length measured.
    void SetMeasureEndHandler(std::function<void(int x, int y, float lengthM)> handler) {
        m_measureEnd = std::move(handler);
    }
    /// Commands the right button's menu shows above the File menu's.
    void SetPopupExtras(QList<QAction*> actions) { m_popupExtras = std::move(actions); }
    /// Where the pointer was last seen over the view; nothing before it came.
    std::optional<QPoint> PointerPosition() const { return m_pointerAt; }
    /// The picture as the last paint drew it (client-sized); drawn now when no paint came yet.
    QImage DrawnPicture();

    /// What the pointer logic reads of the view and the document now.
    PointerContext Context() const;
    /// The pointer's last readout over the polar picture.
    const PointerReadout& Readout() const { return m_readoutValues; }
    /// The measuring tool ("&Measure"): on, the clicks set its points.
    bool IsMeasuring() const { return m_measuring; }
    void SetMeasuring(bool measuring);
    const CViewPointer& Pointer() const { return m_pointer; }
    CViewPointer& Pointer() { return m_pointer; }
    CPictureModel& Picture() { return m_picture; }
    const CPictureModel& Picture() const { return m_picture; }
    /// What the overlays of the last paint drew where.
    const OverlayItems& LastOverlay() const { return m_overlay; }
    /// The program's own pointer shape: a cross-hair.
    static QCursor CrossHairCursor();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    /// Applies the pan, the readout and the end of measuring, and repaints when asked.
    void HandleResult(const PointerResult& result);
    /// The first per-ping update (after the settings are loaded) builds the picture tables.
    void EnsureInitialised();
    /// The File menu with the extra commands on top, at `at` of the view.
    void ShowPopup(QPoint at);

    CTamsorDoc& m_doc;
    CPictureModel m_picture;
    CViewPointer m_pointer;
    QMenu* m_fileMenu = nullptr;
    std::function<void()> m_readout;
    PointerReadout m_readoutValues;
    bool m_measuring = false;
    OverlayItems m_overlay;
    bool m_initialised = false;
    std::function<ContactMarkers()> m_markers;
    std::function<void(int, int, float)> m_measureEnd;
    QList<QAction*> m_popupExtras;
    std::optional<QPoint> m_pointerAt;
    QImage m_lastImage;
};

} // namespace vexar
