#include "app/CContactsController.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CMOndrelView.h"
#include "app/ContactDocument.h"
#include "display/ViewPointer.h"

#include <QBuffer>
#include <QCursor>
#include <QFileDialog>
#include <QFileInfo>

#include <cmath>
#include <fstream>

namespace vexar {

namespace {
constexpr int kChipSidePx = 256;
constexpr int kWatchMs = 500;
} // namespace

CContactsController::CContactsController(CTamsorDoc& doc, CMOndrelView& view, IOperatorPort* op,
                                         QObject* parent)
    : QObject(parent), m_doc(doc), m_view(view), m_operator(op) {
    m_encoders.setMaxThreadCount(1);
    m_doc.Subscribe(*this);
    m_view.SetMarkerSource([this] { return contact_doc::MarkersOf(m_doc, m_list.All(), m_selected); });
    m_view.SetMeasureEndHandler([this](int x, int y, float lengthM) { MarkAt(x, y, lengthM); });
    connect(&m_watch, &QTimer::timeout, this, &CContactsController::CheckWriter);
    m_watch.start(kWatchMs);
}

CContactsController::~CContactsController() {
    m_doc.Unsubscribe(*this);
    m_view.SetMarkerSource({});
    m_view.SetMeasureEndHandler({});
    m_encoders.waitForDone();
}

void CContactsController::Tell(const std::string& text) {
    if (m_operator != nullptr) {
        m_operator->ShowMessage(text, MessageIcon::Warning);
    }
}

std::optional<int> CContactsController::MarkAtPointer() {
    const std::optional<QPoint> at = m_view.PointerPosition();
    if (!at) {
        Tell("Put the pointer on the sonar picture to mark a contact there.");
        return std::nullopt;
    }
    return MarkAt(at->x(), at->y(), std::nullopt);
}

std::optional<int> CContactsController::MarkAt(int x, int y, std::optional<float> lengthM) {
    FollowFile();
    if (const std::string refusal = contact_doc::RefusalToMark(m_doc); !refusal.empty()) {
        Tell(refusal);
        return std::nullopt;
    }
    const PointerContext view = m_view.Context();
    const int cx = CViewPointer::CentreX(view);
    const int cy = CViewPointer::CentreY(view);
    const auto distance = static_cast<float>(std::hypot(x - cx, y - cy));
    if (distance > m_view.Picture().Radius()) {
        Tell("The pointer is not on the sonar picture: no contact was marked.");
        return std::nullopt;
    }
    const float rangeM = CursorRangeM(distance, view.rangeM, view.zoomFactor, view.samples, view.soundScale);
    // The bearing on the screen less the picture's turn (North Up): relative to the head.
    const float bearingDeg =
        std::fmod(CursorBearingDeg(x, y, cx, cy) - m_view.Picture().Turn().degrees + 360.0f, 360.0f);
    const int number = m_list.Add(contact_doc::ContactAt(m_doc, bearingDeg, rangeM, lengthM));
    // The picture as drawn around the point; areas beyond the view come out black.
    EncodeChip(number, m_view.DrawnPicture().copy(x - kChipSidePx / 2, y - kChipSidePx / 2, kChipSidePx,
                                                  kChipSidePx));
    m_selected = number;
    Changed(number);
    return number;
}

void CContactsController::EncodeChip(int number, QImage chip) {
    const std::string path = m_path;
    m_encoders.start([this, number, path, chip = std::move(chip)] {
        QByteArray png;
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        chip.save(&buffer, "PNG");
        std::vector<std::uint8_t> bytes(png.begin(), png.end());
        QMetaObject::invokeMethod(
            this,
            [this, number, path, bytes = std::move(bytes)]() mutable {
                if (path == m_path && m_list.SetChip(number, std::move(bytes))) {
                    Changed(number);
                }
            },
            Qt::QueuedConnection);
    });
}

void CContactsController::Changed(int number) {
    if (!m_refused) {
        if (const Contact* contact = m_list.Find(number)) {
            m_writer.Put(m_path, *contact);
        } else {
            m_writer.Remove(m_path, number);
        }
    }
    m_view.update();
    emit contactsChanged();
}

void CContactsController::SetNote(int number, const std::string& note) {
    if (m_list.SetNote(number, note)) {
        Changed(number);
    }
}

void CContactsController::SetStatus(int number, ContactStatus status) {
    if (m_list.SetStatus(number, status)) {
        Changed(number);
    }
}

void CContactsController::Delete(int number) {
    if (m_list.Delete(number)) {
        Changed(number);
    }
}

void CContactsController::UndoDelete() {
    if (const std::optional<int> number = m_list.UndoDelete()) {
        Changed(*number);
    }
}

void CContactsController::Select(int number) {
    m_selected = number;
    m_view.update();
}

void CContactsController::GoTo(int number) {
    const Contact* found = m_list.Find(number);
    if (found == nullptr) {
        return;
    }
    const Contact contact = *found; // opening another recording replaces the list
    Select(number);
    if (m_doc.IsPlayback()) {
        if (!contact_doc::ShowContactRecord(m_doc, contact)) {
            Tell("The ping of contact " + std::to_string(number) + " cannot be shown: its recording " +
                 (contact.recording.empty() ? std::string("is not known")
                                            : contact.recording + " cannot be played") +
                 ".");
        }
        return;
    }
    const PictureFrame frame = contact_doc::FrameOf(m_doc, m_view.Picture());
    const MarkerScreen screen = MarkerScreenPlace(
        ContactPicturePoint(contact, PoseOfShownPing(m_doc), m_doc.Shown().Settings()), frame);
    m_view.PointerMovedTo(static_cast<int>(screen.x), static_cast<int>(screen.y));
    QCursor::setPos(m_view.mapToGlobal(QPoint(static_cast<int>(screen.x), static_cast<int>(screen.y))));
}

} // namespace vexar
