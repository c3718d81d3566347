#include "app/ControlBars.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CUpDown.h"
#include "common/RangeText.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QToolButton>

namespace vexar {

namespace {
QLineEdit* AddTextBox(QHBoxLayout* layout, QWidget* parent, int width) {
    auto* text = new QLineEdit(parent);
    text->setReadOnly(true); // typed text is ignored: the boxes only show values
    text->setFocusPolicy(Qt::NoFocus);
    text->setFixedWidth(width);
    layout->addWidget(text);
    return text;
}

void AddLabel(QHBoxLayout* layout, QWidget* parent, const char* text) {
    layout->addWidget(new QLabel(QString::fromLatin1(text), parent));
}

void AddGains(QHBoxLayout* layout, QWidget* parent, GainControls& gains) {
    layout->addSpacing(12);
    AddLabel(layout, parent, "S Gain:");
    gains.startGainText = AddTextBox(layout, parent, 52);
    gains.startGainUpDown = new CUpDown(parent);
    layout->addWidget(gains.startGainUpDown);
    layout->addSpacing(12);
    AddLabel(layout, parent, "D Gain:");
    gains.displayGainText = AddTextBox(layout, parent, 56);
    gains.displayGainUpDown = new CUpDown(parent);
    layout->addWidget(gains.displayGainUpDown);
}

void WriteGains(const CTamsorDoc& doc, const GainControls& gains) {
    gains.startGainText->setText(QStringLiteral("%1 dB").arg(doc.GetSettings().sonar.startGainDb));
    gains.displayGainText->setText(QStringLiteral("%1 %").arg(doc.GetSettings().sonar.displayGain));
}
} // namespace

CLiveBar::CLiveBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 1, 6, 1);
    layout->setSpacing(3);
    AddLabel(layout, this, "Range:");
    m_rangeText = AddTextBox(layout, this, 60);
    m_rangeText->setAlignment(Qt::AlignRight);
    m_rangeUpDown = new CUpDown(this);
    layout->addWidget(m_rangeUpDown);
    AddGains(layout, this, m_gains);
    layout->addStretch(1);
}

CPlaybackBar::CPlaybackBar(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(6, 1, 6, 1);
    layout->setSpacing(3);
    AddLabel(layout, this, "File Pos");
    m_filePos = new QSlider(Qt::Horizontal, this);
    m_filePos->setRange(0, 100);
    m_filePos->setTickPosition(QSlider::TicksBelow);
    m_filePos->setTickInterval(10);
    m_filePos->setFixedWidth(160);
    layout->addWidget(m_filePos);
    const auto button = [this, layout] {
        auto* tool = new QToolButton(this);
        tool->setAutoRaise(true);
        tool->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(tool);
        return tool;
    };
    m_jumpToStart = button();
    m_stepBack = button();
    m_stepForward = button();
    m_jumpToEnd = button();
    layout->addSpacing(6);
    m_speedBar = new QProgressBar(this);
    m_speedBar->setRange(0, 20);
    m_speedBar->setTextVisible(false);
    m_speedBar->setFixedSize(84, 12);
    layout->addWidget(m_speedBar);
    m_speedUpDown = new CUpDown(this);
    layout->addWidget(m_speedUpDown);
    AddLabel(layout, this, "Speed");
    m_speedText = new QLabel(this);
    m_speedText->setMinimumWidth(m_speedText->fontMetrics().horizontalAdvance(QStringLiteral("1000 ms")));
    layout->addWidget(m_speedText);
    m_recordedPace = button();
    AddGains(layout, this, m_gains);
    layout->addStretch(1);
}

void RefreshBarTexts(const CTamsorDoc& doc, CLiveBar& live, CPlaybackBar& playback) {
    live.m_rangeText->setText(
        QString::fromStdString(RangeText(doc.GetSettings().sonar.rangeM, doc.GetSettings().view.unit)));
    WriteGains(doc, live.m_gains);
    WriteGains(doc, playback.m_gains);
}

} // namespace vexar
