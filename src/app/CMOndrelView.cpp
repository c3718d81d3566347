#include "app/CMOndrelView.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/DocumentCommands.h"
#include "display/OverlayLayout.h"

#include <QBitmap>
#include <QCursor>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

namespace vexar {

CMOndrelView::CMOndrelView(CTamsorDoc& doc, QWidget* parent)
    : QWidget(parent), m_doc(doc), m_picture(doc.PingRoutine().Workers()) {
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

PointerContext CMOndrelView::Context() const {
    const PingSettings& sonar = m_doc.Shown().Settings();
    PointerContext context;
    // The client width is kept as a multiple of 4, as the picture rows are.
    context.clientWidth = (width() + 3) / 4 * 4;
    context.clientHeight = height();
    context.measureScale = m_picture.MeasureScale();
    context.zoomFactor = m_picture.ZoomFactor();
    context.panX = m_picture.PanX();
    context.panY = m_picture.PanY();
    context.measuring = m_measuring;
    context.polar = sonar.displayMode == kDisplayModePolar;
    context.fillScreen = m_doc.GetSettings().view.zoomIndex == kZoomFillScreen;
    context.repaintOnMove = m_doc.IsPlayback() || m_doc.PingRoutine().Head(0).m_newData == 0;
    context.rangeM = sonar.rangeM;
    context.samples = sonar.samples;
    context.soundScale = SoundVelocityScale(sonar.soundVelocity, sonar.rangeCoefficient);
    return context;
}

void CMOndrelView::EnsureInitialised() {
    if (!m_initialised) {
        m_picture.InitialUpdate(PictureInputOf(m_doc));
        m_picture.Resize(PictureInputOf(m_doc), width(), height());
        m_initialised = true;
    }
}

void CMOndrelView::OnUpdate() {
    EnsureInitialised();
    m_picture.Update(PictureInputOf(m_doc));
    m_pointer.Reproject(Context());
    update();
}

void CMOndrelView::FollowDocument() {
    if (m_initialised) {
        m_picture.FollowClear(PictureInputOf(m_doc));
    }
    m_picture.FollowZoomChoice(m_doc.GetSettings().view.zoomIndex);
    update();
}

void CMOndrelView::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!m_initialised) {
        return; // the first update takes the size along with the settings
    }
    m_picture.Resize(PictureInputOf(m_doc), width(), height());
    m_pointer.Reproject(Context());
}

void CMOndrelView::paintEvent(QPaintEvent* event) {
    (void)event;
    if (!m_initialised) {
        QPainter(this).fillRect(rect(), Qt::black);
        return;
    }
    m_pointer.SyncWithView(m_measuring, m_picture.ZoomFactor());
    m_pointer.Reproject(Context());
    const bool polar = m_doc.Shown().Settings().displayMode == kDisplayModePolar;
    const CMeasureState* measure = polar ? &m_pointer.Measure() : nullptr;
    m_overlay.clear();
    const ContactMarkers markers = m_markers ? m_markers() : ContactMarkers{};
    // Drawn into the picture kept for the chips: its pixels are reused from paint to paint.
    RenderDocumentPictureInto(m_lastImage, m_doc, m_picture, measure, &m_overlay, &markers);
    QPainter painter(this);
    painter.drawImage(0, 0, m_lastImage);
}

QImage CMOndrelView::DrawnPicture() {
    if (m_lastImage.isNull() && m_initialised) {
        const ContactMarkers markers = m_markers ? m_markers() : ContactMarkers{};
        RenderDocumentPictureInto(m_lastImage, m_doc, m_picture, nullptr, nullptr, &markers);
    }
    return m_lastImage;
}

void CMOndrelView::SetMeasuring(bool measuring) {
    m_measuring = measuring;
    update();
}

void CMOndrelView::HandleResult(const PointerResult& result) {
    if (result.pan) {
        m_picture.SetPan(result.pan->first, result.pan->second);
    }
    if (result.measuringEnded) {
        m_measuring = false;
    }
    if (result.readout) {
        m_readoutValues = PointerReadout{result.cursorRangeM, result.cursorBearingDeg};
        if (m_readout) {
            m_readout();
        }
    }
    if (result.repaint) {
        update();
    }
}

void CMOndrelView::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        const QPoint p = event->position().toPoint();
        const bool endFixed = m_pointer.Measure().m_c.IsSet();
        HandleResult(m_pointer.LeftDown(Context(), p.x(), p.y()));
        grabMouse();
        // The click that fixes the measure tool's end point marks a contact there.
        if (!endFixed && m_pointer.Measure().m_c.IsSet() && m_measureEnd) {
            m_measureEnd(p.x(), p.y(), m_pointer.DistanceM(m_picture.ZoomFactor()));
        }
    }
}

void CMOndrelView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    PointerMovedTo(p.x(), p.y());
}

void CMOndrelView::PointerMovedTo(int x, int y) {
    m_pointerAt = QPoint(x, y);
    HandleResult(m_pointer.Move(Context(), x, y));
    if (m_pointer.Panning()) {
        update();
    }
}

void CMOndrelView::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint p = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        HandleResult(m_pointer.LeftUp(Context(), p.x(), p.y()));
        releaseMouse();
        update();
    } else if (event->button() == Qt::RightButton && m_fileMenu != nullptr) {
        if (QWidget* frame = window()) {
            frame->activateWindow();
        }
        ShowPopup(p);
    }
}

void CMOndrelView::ShowPopup(QPoint at) {
    // The extras sit on top of the File menu while it is open from here.
    QAction* separator = m_popupExtras.isEmpty() ? nullptr : new QAction(m_fileMenu);
    if (separator != nullptr) {
        separator->setSeparator(true);
        QAction* first = m_fileMenu->actions().value(0);
        m_fileMenu->insertActions(first, m_popupExtras);
        m_fileMenu->insertAction(first, separator);
        connect(m_fileMenu, &QMenu::aboutToHide, separator,
                [menu = m_fileMenu, separator, extras = m_popupExtras] {
                    for (QAction* extra : extras) {
                        menu->removeAction(extra);
                    }
                    separator->deleteLater();
                });
    }
    m_fileMenu->popup(mapToGlobal(at));
}

void CMOndrelView::keyPressEvent(QKeyEvent* event) {
    const QString text = event->text();
    if (text.size() == 1) {
        const char key = text.at(0).toLatin1();
        if (key == 'c' || key == 'C') {
            m_doc.ClearImage();
            FollowDocument();
            return;
        }
        if (HandleViewKey(m_doc, key)) {
            update();
            return;
        }
    }
    QWidget::keyPressEvent(event);
}

void CMOndrelView::MovePointerBy(int dx, int dy) {
    const QPoint global = QCursor::pos() + QPoint(dx, dy);
    QCursor::setPos(global);
    const QPoint local = mapFromGlobal(global);
    PointerMovedTo(local.x(), local.y());
}

} // namespace vexar
