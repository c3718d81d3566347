#include "app/CMOndrelView.h"

#include "acquisition/CTamsorDoc.h"
#include "display/DisplayCommands.h"

#include <QBitmap>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <cstdio>

namespace vexar {

CMOndrelView::CMOndrelView(CTamsorDoc& doc, std::unique_ptr<IViewPicture> picture, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_picture(std::move(picture)) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setCursor(CrossHairCursor());
}

CMOndrelView::~CMOndrelView() = default;

QCursor CMOndrelView::CrossHairCursor() {
    // A thin cross with an open centre, drawn in black with a white halo so that it reads on
    // both the dark picture and the light bars.
    QPixmap pixmap(32, 32);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    const auto arms = [&painter](const QColor& colour, int width) {
        painter.setPen(QPen(colour, width));
        painter.drawLine(16, 2, 16, 12);
        painter.drawLine(16, 20, 16, 30);
        painter.drawLine(2, 16, 12, 16);
        painter.drawLine(20, 16, 30, 16);
    };
    arms(Qt::white, 3);
    arms(Qt::black, 1);
    painter.setPen(Qt::black);
    painter.drawPoint(16, 16);
    painter.end();
    return QCursor(pixmap, 16, 16);
}

ViewGeometry CMOndrelView::Geometry() const {
    // The client width is kept as a multiple of 4, as the picture rows are.
    return ViewGeometry{(width() + 3) / 4 * 4, height(), m_picture->MeasureScale()};
}

void CMOndrelView::OnUpdate() {
    if (!m_initialised) {
        m_picture->InitialUpdate(m_doc);
        m_picture->Resize(m_doc, size());
        m_initialised = true;
    }
    m_picture->Update(m_doc);
    m_pointer.Reproject(m_doc, Geometry());
    update();
}

void CMOndrelView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!m_initialised) {
        m_picture->InitialUpdate(m_doc);
        m_initialised = true;
    }
    m_picture->Resize(m_doc, size());
    m_pointer.Reproject(m_doc, Geometry());
}

void CMOndrelView::paintEvent(QPaintEvent* event) {
    (void)event;
    QPainter painter(this);
    const ViewGeometry view = Geometry();
    const QPoint centre(CViewPointer::CentreX(m_doc, view), CViewPointer::CentreY(m_doc, view));
    m_pointer.SyncWithDocument(m_doc);
    m_picture->Paint(painter, m_doc, size(), centre);
    if (m_doc.Head(0).m_displayMode == 0) {
        m_pointer.Reproject(m_doc, view);
        PaintMeasure(painter);
    }
}

void CMOndrelView::PaintMeasure(QPainter& painter) {
    const CMeasureState& measure = m_pointer.Measure();
    if (!measure.m_active) {
        return;
    }
    const ViewGeometry view = Geometry();
    const int ax = measure.m_a.x;
    const int ay = measure.m_a.y;
    const int bx = m_pointer.EndX(m_doc, view);
    const int by = m_pointer.EndY(m_doc, view);
    painter.setPen(QColor(120, 150, 126));
    painter.drawLine(ax - 6, ay, ax + 6, ay);
    painter.drawLine(ax, ay - 6, ax, ay + 6);
    painter.drawLine(ax, ay, bx, by);
    painter.drawLine(bx - 6, by, bx + 6, by);
    painter.drawLine(bx, by - 6, bx, by + 6);

    char text[64];
    std::snprintf(text, sizeof text, "%.2f M", static_cast<double>(m_pointer.DistanceM(m_doc)));
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(16);
    painter.setFont(font);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.setBackground(Qt::black);
    painter.setPen(QColor(220, 220, 0));
    const QFontMetrics metrics(font);
    painter.drawText(QPoint(bx + 15, by - 8 + metrics.ascent()), QString::fromLatin1(text));
    painter.setBackgroundMode(Qt::TransparentMode);
}

void CMOndrelView::HandleResult(const PointerResult& result) {
    if (result.readout && m_readout) {
        m_readout();
    }
    if (result.repaint) {
        update();
    }
}

void CMOndrelView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        HandleResult(m_pointer.LeftDown(m_doc, Geometry(), p.x(), p.y()));
        grabMouse();
    }
}

void CMOndrelView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    PointerMovedTo(p.x(), p.y());
}

void CMOndrelView::PointerMovedTo(int x, int y) {
    HandleResult(m_pointer.Move(m_doc, Geometry(), x, y));
    if (m_pointer.Panning()) {
        update();
    }
}

void CMOndrelView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        m_pointer.LeftUp(m_doc, p.x(), p.y());
        releaseMouse();
        update();
    } else if (event->button() == Qt::RightButton && m_fileMenu != nullptr) {
        if (QWidget* frame = window()) {
            frame->activateWindow();
        }
        m_fileMenu->popup(mapToGlobal(p));
    }
}

void CMOndrelView::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() == 1) {
        const char key = text.at(0).toLatin1();
        if (key == 'c' || key == 'C') {
            m_picture->ClearPicture();
            update();
            return;
        }
        if (HandleViewKey(m_doc, key)) {
            update();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void CMOndrelView::OnPointerCommand(int commandId) {
    int dx = 0;
    int dy = 0;
    switch (commandId) {
    case kCmdPointerDown: dy = 1; break;
    case kCmdPointerLeft: dx = -1; break;
    case kCmdPointerRight: dx = 1; break;
    case kCmdPointerUp: dy = -1; break;
    default: return;
    }
    const QPoint global = QCursor::pos() + QPoint(dx, dy);
    QCursor::setPos(global);
    const QPoint local = mapFromGlobal(global);
    PointerMovedTo(local.x(), local.y());
}

} // namespace vexar
