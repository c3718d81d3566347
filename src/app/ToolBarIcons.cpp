#include "app/ToolBarIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace vexar {

QIcon DrawToolIcon(ToolIcon icon) {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    switch (icon) {
    case ToolIcon::RealTime: // a sonar disc with its sweep
        p.setPen(QPen(QColor(0, 90, 0), 1.2));
        p.setBrush(QColor(0, 40, 0));
        p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
        p.setPen(QPen(QColor(80, 255, 80), 1.5));
        p.drawLine(QPointF(8, 8), QPointF(13, 4));
        p.setPen(QPen(QColor(80, 200, 80), 1));
        p.drawEllipse(QRectF(5, 5, 6, 6));
        break;
    case ToolIcon::Playback: { // play triangle
        QPainterPath path;
        path.moveTo(4, 2);
        path.lineTo(14, 8);
        path.lineTo(4, 14);
        path.closeSubpath();
        p.fillPath(path, QColor(0, 70, 170));
        break;
    }
    case ToolIcon::Record: // red dot
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(210, 0, 0));
        p.drawEllipse(QRectF(2.5, 2.5, 11, 11));
        break;
    case ToolIcon::Stop: // square
        p.fillRect(QRectF(3, 3, 10, 10), QColor(40, 40, 40));
        break;
    case ToolIcon::Hold: // pause bars
        p.fillRect(QRectF(3, 2, 4, 12), QColor(200, 110, 0));
        p.fillRect(QRectF(9, 2, 4, 12), QColor(200, 110, 0));
        break;
    case ToolIcon::Measure: // a measured line with its end crosses
        p.setPen(QPen(QColor(40, 40, 40), 1));
        p.drawLine(QPointF(3, 13), QPointF(13, 3));
        p.drawLine(QPointF(1, 13), QPointF(5, 13));
        p.drawLine(QPointF(3, 11), QPointF(3, 15));
        p.drawLine(QPointF(11, 3), QPointF(15, 3));
        p.drawLine(QPointF(13, 1), QPointF(13, 5));
        break;
    }
    p.end();
    return QIcon(pixmap);
}

} // namespace vexar
