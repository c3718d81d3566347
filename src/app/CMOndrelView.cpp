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

namespace vexar {

CMOndrelView::CMOndrelView(CTamsorDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_picture(doc.Workers()) {
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
    return ViewGeometry{(width() + 3) / 4 * 4, height(), m_picture.MeasureScale()};
}

void CMOndrelView::EnsureInitialised() {
    if (!m_initialised) {
        m_picture.InitialUpdate(m_doc);
        m_picture.Resize(m_doc, width(), height());
        m_initialised = true;
    }
}

void CMOndrelView::OnUpdate() {
    EnsureInitialised();
    m_picture.Update(m_doc);
    m_pointer.Reproject(m_doc, Geometry());
    update();
}

void CMOndrelView::ClearPictureNow() {
    m_picture.ClearPicture();
    m_doc.m_clearImage = 0;
    update();
}

void CMOndrelView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!m_initialised) {
        return; // the first update takes the size along with the settings
    }
    m_picture.Resize(m_doc, width(), height());
    m_pointer.Reproject(m_doc, Geometry());
}

void CMOndrelView::paintEvent(QPaintEvent* event) {
    (void)event;
    if (!m_initialised) {
        QPainter(this).fillRect(rect(), Qt::black);
        return;
    }
    m_pointer.SyncWithDocument(m_doc);
    m_pointer.Reproject(m_doc, Geometry());
    const CMeasureState* measure = m_doc.Head(0).m_displayMode == 0 ? &m_pointer.Measure() : nullptr;
    m_overlay.clear();
    QPainter painter(this);
    painter.drawImage(0, 0, RenderDocumentPicture(m_doc, m_picture, measure, &m_overlay));
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
            ClearPictureNow();
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
    case kCmdPointerDown:
        dy = 1;
        break;
    case kCmdPointerLeft:
        dx = -1;
        break;
    case kCmdPointerRight:
        dx = 1;
        break;
    case kCmdPointerUp:
        dy = -1;
        break;
    default:
        return;
    }
    const QPoint global = QCursor::pos() + QPoint(dx, dy);
    QCursor::setPos(global);
    const QPoint local = mapFromGlobal(global);
    PointerMovedTo(local.x(), local.y());
}

} // namespace vexar
