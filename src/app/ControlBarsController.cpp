#include "app/ControlBarsController.h"

#include "acquisition/CTamsorDoc.h"
#include "acquisition/DocumentCommands.h"
#include "app/CUpDown.h"
#include "app/ControlBars.h"

#include <QLabel>
#include <QProgressBar>
#include <QSlider>
#include <QToolBar>

namespace vexar {

ControlBarsController::ControlBarsController(CTamsorDoc& doc, QWidget& window,
                                             std::function<void()> commandStatesChanged)
    : m_doc(doc), m_window(window), m_commandStatesChanged(std::move(commandStatesChanged)) {
    m_playbackBar = new CPlaybackBar(&window);
    m_liveBar = new CLiveBar(&window);
    m_liveBand = new QToolBar(QStringLiteral("Live"), &window);
    m_liveBand->addWidget(m_liveBar);
    m_playbackBand = new QToolBar(QStringLiteral("Playback"), &window);
    m_playbackBand->addWidget(m_playbackBar);

    QObject::connect(m_liveBar->m_rangeUpDown, &CUpDown::stepped, &window,
                     [this](int step) { OnRangeStep(step); });
    for (const GainControls* gains : {&m_liveBar->m_gains, &m_playbackBar->m_gains}) {
        QObject::connect(gains->startGainUpDown, &CUpDown::stepped, &window,
                         [this](int step) { OnStartGainStep(step); });
        QObject::connect(gains->displayGainUpDown, &CUpDown::stepped, &window,
                         [this](int step) { OnDisplayGainStep(step); });
    }
    QObject::connect(m_playbackBar->m_speedUpDown, &CUpDown::stepped, &window,
                     [this](int step) { OnSpeedStep(step); });
    QObject::connect(m_playbackBar->m_filePos, &QSlider::sliderPressed, &window,
                     [this] { m_doc.Playback().OnSliderDragStart(); });
    QObject::connect(m_playbackBar->m_filePos, &QSlider::sliderReleased, &window,
                     [this] { OnSliderReleased(); });
}

void ControlBarsController::OnRangeStep(int step) {
    if (StepRange(m_doc, step)) {
        RefreshTexts();
    }
}

void ControlBarsController::OnStartGainStep(int step) {
    if (StepStartGain(m_doc, step)) {
        RefreshTexts();
    }
}

void ControlBarsController::OnDisplayGainStep(int step) {
    if (StepDisplayGain(m_doc, step)) {
        RefreshTexts();
    }
}

void ControlBarsController::OnSpeedStep(int step) {
    StepSpeed(m_doc, step);
    ShowSpeed();
    m_commandStatesChanged();
}

void ControlBarsController::OnSliderReleased() {
    QSlider* slider = m_playbackBar->m_filePos;
    slider->setTickInterval(10);
    m_doc.Playback().OnSliderRelease(slider->value());
    m_window.setFocus();
}

void ControlBarsController::RefreshTexts() {
    RefreshBarTexts(m_doc, *m_liveBar, *m_playbackBar);
}

void ControlBarsController::RefreshSpeedText() {
    m_playbackBar->m_speedText->setText(QString::fromStdString(m_doc.Playback().SpeedText()));
}

void ControlBarsController::ShowSpeed() {
    m_playbackBar->m_speedBar->setValue(SpeedBarPosition(m_doc));
    RefreshSpeedText();
}

void ControlBarsController::ShowLiveBand() {
    m_playbackBand->hide();
    m_liveBand->show();
}

void ControlBarsController::ShowPlaybackBand(std::uint64_t fileLength) {
    m_liveBand->hide();
    m_playbackBand->show();
    QSlider* slider = m_playbackBar->m_filePos;
    slider->setRange(0, 100);
    slider->setTickInterval(10);
    m_playbackBar->m_speedBar->setRange(0, 20);
    ShowSpeed();
    m_bytesPerStep = fileLength / 100;
    ShowFilePosition(0);
}

void ControlBarsController::ShowFilePosition(int percent) {
    m_playbackBar->m_filePos->setValue(percent);
    m_playbackBar->m_filePos->setTickInterval(10);
}

} // namespace vexar
