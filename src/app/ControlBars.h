#pragma once
// The live bar (range, S Gain, D Gain) and the playback bar (file position, speed, S Gain,
// D Gain) of the main frame. They show document values and pass up-down steps to the document.

#include <QWidget>

#include <cstdint>

class QLabel;
class QLineEdit;
class QProgressBar;
class QSlider;
class QToolButton;

namespace vexar {

class CTamsorDoc;
class CUpDown;

/// Controls both bars have.
struct GainControls {
    QLineEdit* startGainText = nullptr;   ///< 1041
    CUpDown* startGainUpDown = nullptr;   ///< 1044
    QLineEdit* displayGainText = nullptr; ///< 1038
    CUpDown* displayGainUpDown = nullptr; ///< 1039
};

class CLiveBar : public QWidget {
    Q_OBJECT
public:
    explicit CLiveBar(QWidget* parent = nullptr);
    QLineEdit* m_rangeText; ///< 1033
    CUpDown* m_rangeUpDown; ///< 1035
    GainControls m_gains;
};

class CPlaybackBar : public QWidget {
    Q_OBJECT
public:
    explicit CPlaybackBar(QWidget* parent = nullptr);
    QSlider* m_filePos;       ///< 1020
    QProgressBar* m_speedBar; ///< 1026
    CUpDown* m_speedUpDown;   ///< 1064
    QLabel* m_speedText;      ///< the speed as a readout: "1x", "4x", "max"
    // Buttons of the playback commands; the frame gives them their actions.
    QToolButton* m_jumpToStart;
    QToolButton* m_stepBack;
    QToolButton* m_stepForward;
    QToolButton* m_jumpToEnd;
    QToolButton* m_recordedPace; ///< "1x"
    GainControls m_gains;
};

/// Writes the bars' texts from the document: range, "%d dB", "%d %".
void RefreshBarTexts(const CTamsorDoc& doc, CLiveBar& live, CPlaybackBar& playback);

} // namespace vexar
