// vexar-cli: headless tools for recordings and the data output.

#include "CliCommand.h"
#include "HelpLayout.h"

#include <QGuiApplication>

#include <cstdio>
#include <exception>
#include <memory>

namespace {
// The framework's notes (a missing runtime folder, font fallbacks) say nothing about the user's
// work: a run prints the command's own output only. Its errors still come through.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "vexar-cli: %s\n", qPrintable(message));
    }
}

// Text drawing needs a GUI application; headless runs use the offscreen platform.
std::unique_ptr<QGuiApplication> StartQt(int& argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qInstallMessageHandler(QtMessages);
    return std::make_unique<QGuiApplication>(argc, argv);
}
} // namespace

int main(int argc, char** argv) {
    using namespace vexar::cli;
    CLI::App app{"Headless tools of the Vexar sonar console: list, convert and record sonar files, "
                 "receive the UDP data output."};
    app.name("vexar-cli");
    app.formatter(std::make_shared<vexar::HelpLayout>()); // before the subcommands, which take it over
    app.set_version_flag("--version", std::string("vexar-cli ") + VEXAR_VERSION);
    // Options from a file (a service's configuration): a [SUBCOMMAND] section of NAME = VALUE lines.
    // A name no subcommand knows is an error, so that a misspelt option is not silently dropped.
    app.set_config("--config", "",
                   "read the subcommand's options from FILE ([SUBCOMMAND] then NAME = VALUE lines)")
        ->type_name("FILE");
    app.allow_config_extras(CLI::config_extras_mode::error);
    app.require_subcommand(1);

    CommonOptions common;
    std::vector<std::pair<CLI::App*, std::function<int()>>> runners;
    for (const RegisteredCommand& command : RegisteredCommands()) {
        CLI::App* sub = app.add_subcommand(command.name, command.description);
        sub->add_option("--settings", common.settingsPath,
                        "settings file (default: Vexar.INI beside the program)");
        runners.emplace_back(sub, command.setup(*sub, common));
    }
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForAllHelp& e) {
        return app.exit(e);
    } catch (const CLI::CallForVersion& e) {
        return app.exit(e);
    } catch (const CLI::ParseError& e) {
        app.exit(e);
        return kExitBadArguments;
    }

    const auto qt = StartQt(argc, argv);
    for (auto& [sub, run] : runners) {
        if (!sub->parsed()) {
            continue;
        }
        try {
            return run();
        } catch (const CLI::ValidationError& e) {
            std::fprintf(stderr, "vexar-cli %s: %s\n", sub->get_name().c_str(), e.what());
            return kExitBadArguments;
        } catch (const std::exception& e) {
            std::fprintf(stderr, "vexar-cli %s: %s\n", sub->get_name().c_str(), e.what());
            return kExitFailure;
        }
    }
    return kExitBadArguments;
}
