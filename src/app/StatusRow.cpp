#include "app/StatusRow.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/LinkStatus.h"
#include "app/CInfoPanel.h"

#include <QTimer>

namespace vexar {

StatusRow::StatusRow(const CTamsorDoc& doc, QWidget* parent) : m_doc(doc), m_panel(new CInfoPanel(parent)) {
    m_panel->ShowMessage(QStringLiteral("Ready"));
}

void StatusRow::ShowPrompt(const QString& prompt) {
    m_promptShown = !prompt.isEmpty();
    m_panel->ShowMessage(m_promptShown ? prompt : QString::fromStdString(IdleMessage(m_doc)));
}

void StatusRow::RefreshLink() {
    m_panel->ShowLink(DescribeLink(m_doc));
    if (!m_promptShown) {
        m_panel->ShowMessage(QString::fromStdString(IdleMessage(m_doc)));
    }
}

void StatusRow::RefreshInfo(const PointerReadout& pointer) {
    m_panel->UpdateInfo(CollectInfoTexts(m_doc));
    m_panel->ShowMapPosition(m_doc, pointer);
    m_panel->ShowRecording(m_doc.Recording().Current());
}

void StatusRow::ShowRecording(const RecordingStatus& recording) {
    m_panel->ShowRecording(recording);
}

void StatusRow::SetNavigationStatus(std::function<NavStatusText()> status) {
    m_navigationStatus = std::move(status);
    if (m_navigationTimer == nullptr) {
        m_navigationTimer = new QTimer(m_panel);
        QObject::connect(m_navigationTimer, &QTimer::timeout, m_panel, [this] { RefreshNavigation(); });
    }
    if (m_navigationStatus) {
        m_navigationTimer->start(500);
    } else {
        m_navigationTimer->stop();
    }
    RefreshNavigation();
}

void StatusRow::RefreshNavigation() {
    m_panel->ShowNavigation(m_navigationStatus ? m_navigationStatus() : NavStatusText{});
}

} // namespace vexar
