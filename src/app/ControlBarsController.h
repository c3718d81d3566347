#pragma once
// The live and playback bars of the main window in their two bands: one of them is shown at a
// time, their texts follow the document, and their up-downs, slider and speed step the document.

#include <cstdint>
#include <functional>

class QToolBar;
class QWidget;

namespace vexar {

class CLiveBar;
class CPlaybackBar;
class CTamsorDoc;

class ControlBarsController {
public:
    /// The bars and their bands, parented by `window`, which takes the focus back after the
    /// slider is let go. `commandStatesChanged` runs when a step changed what the menus show.
    ControlBarsController(CTamsorDoc& doc, QWidget& window, std::function<void()> commandStatesChanged);

    CLiveBar* LiveBar() const { return m_liveBar; }
    CPlaybackBar* PlaybackBar() const { return m_playbackBar; }
    QToolBar* LiveBand() const { return m_liveBand; }
    QToolBar* PlaybackBand() const { return m_playbackBand; }
    /// Bytes per slider step of the played file.
    std::uint64_t BytesPerSliderStep() const { return m_bytesPerStep; }

    /// The bars' texts: range, gains.
    void RefreshTexts();
    /// The playback speed as a readout.
    void RefreshSpeedText();
    /// The speed bar and its readout at the document's speed.
    void ShowSpeed();
    /// The live band instead of the playback band.
    void ShowLiveBand();
    /// The playback band, its slider at the start of a file of `fileLength` bytes.
    void ShowPlaybackBand(std::uint64_t fileLength);
    /// The slider at `percent` of the played file.
    void ShowFilePosition(int percent);

private:
    void OnRangeStep(int step);
    void OnStartGainStep(int step);
    void OnDisplayGainStep(int step);
    void OnSpeedStep(int step);
    void OnSliderReleased();

    CTamsorDoc& m_doc;
    QWidget& m_window;
    std::function<void()> m_commandStatesChanged;
    CLiveBar* m_liveBar = nullptr;
    CPlaybackBar* m_playbackBar = nullptr;
    QToolBar* m_liveBand = nullptr;
    QToolBar* m_playbackBand = nullptr;
    std::uint64_t m_bytesPerStep = 0;
};

} // namespace vexar
