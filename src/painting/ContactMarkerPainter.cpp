#include "painting/ContactMarkerPainter.h"

#include "acquisition/CTamsorDoc.h"
#include "display/CPictureModel.h"
#include "display/OverlayLayout.h"
#include "display/ViewPointer.h"
#include "painting/PictureRenderer.h"

#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <numbers>

namespace vexar {

namespace {
const QColor kMarker(0, 230, 255);
const QColor kSelected(255, 255, 255);
constexpr double kRingRadiusPx = 9.0;
constexpr double kArrowLengthPx = 16.0;

QColor MarkerColour(const MarkerOnPicture& marker) {
    QColor colour = marker.selected ? kSelected : kMarker;
    if (std::fabs(marker.point.outOfPlaneM) > kMarkerInPlaneM) {
        colour.setAlpha(110);
    }
    return colour;
}

void DrawNumber(QPainter& painter, const MarkerOnPicture& marker, QPointF at) {
    const QString text = QString::number(marker.number);
    painter.setFont(OverlayFont(15, true));
    const QRectF box = painter.fontMetrics().boundingRect(text).toRectF().translated(at);
    painter.fillRect(box.adjusted(-2, 0, 2, 0), QColor(0, 0, 0, 160));
    painter.drawText(box, Qt::AlignCenter, text);
}

void DrawRing(QPainter& painter, const MarkerOnPicture& marker, const MarkerScreen& screen) {
    const QPointF centre(screen.x + 0.5, screen.y + 0.5);
    painter.setBrush(Qt::NoBrush);
    painter.drawEllipse(centre, kRingRadiusPx, kRingRadiusPx);
    painter.drawLine(centre + QPointF(-3, 0), centre + QPointF(3, 0));
    painter.drawLine(centre + QPointF(0, -3), centre + QPointF(0, 3));
    DrawNumber(painter, marker, centre + QPointF(kRingRadiusPx + 2, -kRingRadiusPx - 8));
}

void DrawEdgeArrow(QPainter& painter, const MarkerOnPicture& marker, const MarkerScreen& screen) {
    const double a = screen.directionDeg * std::numbers::pi / 180.0;
    const QPointF dir(std::sin(a), -std::cos(a));
    const QPointF side(-dir.y(), dir.x());
    const QPointF tip(screen.x + 0.5, screen.y + 0.5);
    const QPointF base = tip - dir * kArrowLengthPx;
    QPainterPath arrow;
    arrow.moveTo(tip);
    arrow.lineTo(base + side * 6.0);
    arrow.lineTo(base - side * 6.0);
    arrow.closeSubpath();
    painter.setBrush(painter.pen().color());
    painter.drawPath(arrow);
    DrawNumber(painter, marker, base - dir * 12.0 - QPointF(6, 8));
}
} // namespace

PictureFrame PictureFrameOf(const CTamsorDoc& doc, const CPictureModel& model) {
    const PingSettings& sonar = doc.Shown().Settings();
    const float metresPerPixel =
        CursorRangeM(1.0f, sonar.rangeM, model.ZoomFactor(), sonar.samples,
                     SoundVelocityScale(sonar.soundVelocity, sonar.rangeCoefficient));
    PictureFrame frame;
    frame.centreX = model.ScreenCentreX();
    frame.centreY = model.ScreenCentreY();
    frame.pixelsPerMetre = metresPerPixel > 0.0f ? 1.0 / static_cast<double>(metresPerPixel) : 0.0;
    frame.radiusPx = static_cast<double>(model.Radius());
    frame.rotationDeg = static_cast<double>(model.Turn().degrees);
    frame.clientWidth = model.ClientWidth();
    frame.clientHeight = model.ClientHeight();
    return frame;
}

void PaintContactMarkers(QPainter& painter, const ContactMarkers& markers, const PictureFrame& frame) {
    if (!(frame.pixelsPerMetre > 0.0)) {
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    for (const MarkerOnPicture& marker : markers) {
        const MarkerScreen screen = MarkerScreenPlace(marker.point, frame);
        QPen pen(MarkerColour(marker), marker.selected ? 2.5 : 1.5);
        if (std::fabs(marker.point.outOfPlaneM) > kMarkerInPlaneM) {
            pen.setStyle(Qt::DashLine);
        }
        painter.setPen(pen);
        if (screen.inside) {
            DrawRing(painter, marker, screen);
        } else {
            DrawEdgeArrow(painter, marker, screen);
        }
    }
    painter.restore();
}

} // namespace vexar
