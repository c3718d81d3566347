#include "app/CommandActions.h"

#include "acquisition/DocumentCommands.h"
#include "app/ConsoleCommands.h"
#include "app/ControlBars.h"
#include "app/MenuLayout.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>

#include <algorithm>

namespace vexar {

namespace {
QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsInMenu(const QAction* action) {
    const QList<QObject*> owners = action->associatedObjects();
    return std::any_of(owners.begin(), owners.end(),
                       [](const QObject* owner) { return qobject_cast<const QMenu*>(owner) != nullptr; });
}
} // namespace

CommandActions::CommandActions(QWidget& window, RunCommand run, StateOfCommand stateOf)
    : m_window(window), m_run(std::move(run)), m_stateOf(std::move(stateOf)) {
    for (const DocumentCommand& command : DocumentCommands()) {
        AddAction(command.id, command.text, command.prompt, command.checkable);
    }
    for (const ConsoleCommand& command : ConsoleCommands()) {
        AddAction(command.id, command.text, command.prompt, command.checkable);
    }
}

QAction* CommandActions::AddAction(int id, std::string_view text, std::string_view prompt, bool checkable) {
    auto* action = new QAction(Text(text), &m_window);
    action->setCheckable(checkable);
    action->setData(id);
    if (!prompt.empty()) {
        action->setStatusTip(Text(prompt));
    }
    QObject::connect(action, &QAction::triggered, &m_window, [this, id] { m_run(id); });
    m_actions[id] = action;
    return action;
}

QMenu* CommandActions::AddMenu(QMenuBar& bar, QMenu* parent, std::string_view title) {
    QMenu* menu = parent != nullptr ? parent->addMenu(Text(title)) : bar.addMenu(Text(title));
    QObject::connect(menu, &QMenu::aboutToShow, &m_window, [this] { UpdateStates(); });
    if (parent == nullptr && title == kFileMenuTitle) {
        m_fileMenu = menu;
    }
    return menu;
}

void CommandActions::AddMenuItems(QMenuBar& bar, QMenu* menu, std::span<const MenuNode> items) {
    for (const MenuNode& item : items) {
        switch (item.kind) {
        case MenuNode::Kind::Command:
            // A command on the menu bar itself ("Data Output") has no menu.
            if (menu != nullptr) {
                menu->addAction(m_actions.at(item.id));
            } else {
                bar.addAction(m_actions.at(item.id));
            }
            break;
        case MenuNode::Kind::Separator:
            menu->addSeparator();
            break;
        case MenuNode::Kind::Menu:
            AddMenuItems(bar, AddMenu(bar, menu, item.title), item.items);
            break;
        }
    }
}

void CommandActions::FillMenuBar(QMenuBar& bar) {
    AddMenuItems(bar, nullptr, MenuBarLayout());
}

void CommandActions::FillToolBar(QToolBar& toolBar) {
    toolBar.setIconSize(QSize(16, 16));
    toolBar.setMovable(true);
    for (const ToolButtonSpec& button : ToolBarLayout()) {
        if (button.id == 0) {
            toolBar.addSeparator();
            continue;
        }
        QAction* action = m_actions.at(button.id);
        action->setIcon(DrawToolIcon(button.icon));
        const QString prompt = action->statusTip();
        action->setToolTip(prompt.isEmpty() ? action->text().remove(QLatin1Char('&')) : prompt);
        toolBar.addAction(action);
    }
}

void CommandActions::AttachPlaybackButtons(CPlaybackBar& bar) {
    for (const PlaybackButtonSpec& entry : PlaybackButtons()) {
        QAction* action = m_actions.at(entry.id);
        action->setToolTip(QString::fromUtf8(entry.tip));
        if (entry.icon != QStyle::SP_CustomBase) {
            action->setIcon(m_window.style()->standardIcon(entry.icon));
        }
        m_window.addAction(action);
        (bar.*entry.button)->setDefaultAction(action);
    }
}

void CommandActions::AddAccelerators() {
    for (const AcceleratorSpec& accelerator : Accelerators()) {
        QAction* action = m_actions.at(accelerator.id);
        action->setShortcut(QKeySequence(accelerator.keys));
        action->setShortcutContext(Qt::ApplicationShortcut);
        if (!IsInMenu(action) && !m_window.actions().contains(action)) {
            m_window.addAction(action);
        }
    }
}

QAction* CommandActions::Action(int id) const {
    const auto found = m_actions.find(id);
    return found != m_actions.end() ? found->second : nullptr;
}

void CommandActions::UpdateStates() {
    for (const auto& [id, action] : m_actions) {
        const CommandState state = m_stateOf(id);
        action->setEnabled(state.enabled);
        if (action->isCheckable()) {
            action->setChecked(state.checked);
        }
    }
}

} // namespace vexar
