#pragma once
// The operator port of the console: message boxes, file dialogs and the refreshes the document
// asks for, passed to the main frame and its dialogs.

#include "platform/Ports.h"

namespace vexar {

class CMainFrame;

class QtOperatorPort : public IOperatorPort {
public:
    /// The frame receives the refreshes; until it is set they do nothing.
    void SetFrame(CMainFrame* frame) { m_frame = frame; }

    void ShowMessage(const std::string& text, MessageIcon icon) override;
    std::optional<std::string> AskOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
    void SetTitle(const std::string& title) override;
    void RefreshViews() override;
    void RedrawViews() override;
    void RefreshDiagnostics() override;
    void RefreshSettingsDialog() override;
    void RefillSettingsLists() override;
    void RefreshInfoPanel() override;
    void RefreshControlBars() override;
    void ShowRealTimeBar() override;
    void ShowPlaybackBar(std::uint64_t fileLength) override;
    void SetPlaybackPosition(int percent) override;
    void CreateDialogs() override;
    void DestroyDialogs() override;
    bool IsSettingsDialogVisible() const override;

private:
    CMainFrame* m_frame = nullptr;
};

} // namespace vexar
