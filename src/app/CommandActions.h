#pragma once
// The console's commands as actions: one action a command id, placed on the menu bar, the
// toolbar, the playback bar's buttons and the accelerator keys as the layout tables say, with the
// check marks and enabled states the command tables give.

#include "common/Commands.h"

#include <functional>
#include <map>
#include <span>
#include <string_view>

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;
class QWidget;

namespace vexar {

class CPlaybackBar;
struct MenuNode;

class CommandActions {
public:
    using RunCommand = std::function<void(int id)>;
    using StateOfCommand = std::function<CommandState(int id)>;

    /// An action for every command of the document's and the console's tables, owned by `window`;
    /// triggering one runs `run` with its id, and `stateOf` gives its check mark and enabled state.
    CommandActions(QWidget& window, RunCommand run, StateOfCommand stateOf);

    /// The menus and the commands on the bar itself.
    void FillMenuBar(QMenuBar& bar);
    void FillToolBar(QToolBar& toolBar);
    /// The playback controls are commands: buttons and keys run the same actions.
    void AttachPlaybackButtons(CPlaybackBar& bar);
    /// The keys; a key without a menu item acts while any of the console's windows is active.
    void AddAccelerators();

    /// The action of a command id; nullptr for an id without one.
    QAction* Action(int id) const;
    /// The menu that the view's right button opens too.
    QMenu* FileMenu() const { return m_fileMenu; }
    /// Sets every action's check mark and enabled state.
    void UpdateStates();

private:
    QAction* AddAction(int id, std::string_view text, std::string_view prompt, bool checkable);
    QMenu* AddMenu(QMenuBar& bar, QMenu* parent, std::string_view title);
    void AddMenuItems(QMenuBar& bar, QMenu* menu, std::span<const MenuNode> items);

    QWidget& m_window;
    RunCommand m_run;
    StateOfCommand m_stateOf;
    std::map<int, QAction*> m_actions;
    QMenu* m_fileMenu = nullptr;
};

} // namespace vexar
