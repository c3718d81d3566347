#pragma once
// The operator port of the console: message boxes, file dialogs and the document title, shown
// over the main frame.

#include "ports/Ports.h"

namespace vexar {

class CMainFrame;

class QtOperatorPort : public IOperatorPort {
public:
    /// The frame shows the title and parents the dialogs; until it is set the title goes nowhere.
    void SetFrame(CMainFrame* frame) { m_frame = frame; }

    void ShowMessage(const std::string& text, MessageIcon icon) override;
    std::optional<std::string> AskOpenFile(const FileDialogRequest& request) override;
    std::optional<std::string> AskSaveFile(const FileDialogRequest& request) override;
    void SetTitle(const std::string& title) override;
    bool AskYesNo(const std::string& text) override;

private:
    CMainFrame* m_frame = nullptr;
};

} // namespace vexar
