#pragma once
// The picture behind the sonar view: what the view asks of whatever turns the document's combined
// image into pixels and overlays. The view owns one and forwards its life cycle to it.

#include <QPoint>
#include <QSize>

class QPainter;

namespace vexar {

class CTamsorDoc;

class IViewPicture {
public:
    virtual ~IViewPicture() = default;
    /// First update of the view: tables, colours and geometry from the document.
    virtual void InitialUpdate(CTamsorDoc& doc) = 0;
    /// Client area change (also sets the zoom factor in Fill Screen).
    virtual void Resize(CTamsorDoc& doc, QSize client) = 0;
    /// Per-ping update: geometry check, new picture, clear request.
    virtual void Update(CTamsorDoc& doc) = 0;
    /// The view's own "c": every pixel cleared at once.
    virtual void ClearPicture() = 0;
    /// "Color Table": the view takes over the document's table index (0..8).
    virtual void SelectColorTable(int index) = 0;
    /// Paints picture and overlays (not the measure graphics) for the screen centre.
    virtual void Paint(QPainter& painter, CTamsorDoc& doc, QSize client, QPoint centre) = 0;
    /// Measuring scale k: pixels per stored measuring unit.
    virtual float MeasureScale() const = 0;
};

} // namespace vexar
