#pragma once
// The console's own dialogs over the main window: sound velocity, ping delay, data output,
// navigation input, mounting and about, each writing what the operator chose to the document's
// settings, and the saving of the screen and of the placed picture.

#include "ports/Ports.h"

#include <string>

class QString;
class QWidget;

namespace vexar {

class CMOndrelView;
class CTamsorDoc;

class ConsoleDialogs {
public:
    /// The dialogs are parented by `window`, which is also the screen saved; `op` shows the
    /// messages of the saving.
    ConsoleDialogs(CTamsorDoc& doc, QWidget& window, IOperatorPort* op);

    void OnSoundVelocity();
    void OnPingDelay();
    void OnDataOutput();
    /// "Com Port Settings...": the navigation input dialog.
    void OnNavigationInput();
    void OnMounting();
    void OnAbout();
    /// "Save Screen": asks for a file name and saves the window there.
    void OnSaveScreen();
    /// Saves the window to `path`, with the messages of the command; an empty path saves nothing.
    void SaveScreenTo(const QString& path);
    /// "Save Picture as GeoTIFF..." of the picture in `view`.
    void OnSaveGeoPicture(CMOndrelView& view);

private:
    void Report(const std::string& text, MessageIcon icon);

    CTamsorDoc& m_doc;
    QWidget& m_window;
    IOperatorPort* m_operator;
};

} // namespace vexar
