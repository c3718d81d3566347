#pragma once
// Where the commands sit: the menu bar with its menus, separators and submenus, the toolbar, the
// playback bar's buttons and the accelerators, as data. Texts, prompts and actions come from the
// command tables; these tables only place the commands by id.

#include "app/ToolBarIcons.h"
#include "common/Commands.h"

#include <QKeyCombination>
#include <QStyle>

#include <span>
#include <string_view>

class QToolButton;

namespace vexar {

class CPlaybackBar;

/// One entry of a menu: a command, a separator or a submenu.
struct MenuNode {
    enum class Kind { Command, Separator, Menu };
    Kind kind = Kind::Command;
    CommandId id{};                  ///< the command (Command)
    std::string_view title;          ///< the submenu's title (Menu)
    std::span<const MenuNode> items; ///< the submenu's entries (Menu)
};

constexpr MenuNode MenuCommand(CommandId id) {
    return MenuNode{MenuNode::Kind::Command, id, {}, {}};
}
constexpr MenuNode MenuSeparator() {
    return MenuNode{MenuNode::Kind::Separator, {}, {}, {}};
}
constexpr MenuNode SubMenu(std::string_view title, std::span<const MenuNode> items) {
    return MenuNode{MenuNode::Kind::Menu, {}, title, items};
}

/// Title of the menu that the view's right button opens too.
inline constexpr std::string_view kFileMenuTitle = "&File";

/// The menu bar from left to right: its menus, and the commands that sit on the bar itself.
std::span<const MenuNode> MenuBarLayout();

/// A toolbar button; id 0 is a separator.
struct ToolButtonSpec {
    int id = 0;
    ToolIcon icon = ToolIcon::RealTime;
};
std::span<const ToolButtonSpec> ToolBarLayout();

/// A button of the playback bar with the command it runs, its tip and its icon (SP_CustomBase:
/// none, the button shows its text).
struct PlaybackButtonSpec {
    QToolButton* CPlaybackBar::*button = nullptr;
    int id = 0;
    const char* tip = "";
    QStyle::StandardPixmap icon = QStyle::SP_CustomBase;
};
std::span<const PlaybackButtonSpec> PlaybackButtons();

/// A key of a command, active wherever the console has the focus.
struct AcceleratorSpec {
    int id = 0;
    QKeyCombination keys;
};
std::span<const AcceleratorSpec> Accelerators();

} // namespace vexar
