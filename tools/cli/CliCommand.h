#pragma once
// The subcommand registry of vexar-cli and what every subcommand shares: the settings file
// option, exit statuses, a document on headless ports.

#include "acquisition/CTamsorDoc.h"

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace vexar::cli {

/// Exit statuses of every subcommand.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1; ///< a failure reported on stderr
inline constexpr int kExitBadArguments = 2;

/// A failure the subcommand reports on stderr and ends with status 1.
class Failure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

/// Options every subcommand takes.
struct CommonOptions {
    std::string settingsPath; ///< --settings; empty: Vexar.INI beside the program
};

/// Adds a subcommand's options to `command` and returns what runs it once parsing succeeded.
using CommandSetup = std::function<std::function<int()>(CLI::App& command, const CommonOptions& common)>;

/// Registers a subcommand; call from a namespace-scope initialiser in the subcommand's file.
bool RegisterCommand(const std::string& name, const std::string& description, CommandSetup setup);

struct RegisteredCommand {
    std::string name;
    std::string description;
    CommandSetup setup;
};
const std::vector<RegisteredCommand>& RegisteredCommands();

/// The FILE argument of a subcommand that reads a raw recording: required, and it must exist.
void AddRecordingArgument(CLI::App& command, std::string& path);

/// The folder of the running program, with a trailing separator.
std::string ProgramFolder();

/// The settings the subcommand runs with (--settings, or Vexar.INI beside the program), for
/// commands that read them without a document.
Settings SettingsOf(const CommonOptions& common);

/// The operator of a headless run: warnings and errors go to stderr (a command's summary tells
/// what went well), dialogs are never answered.
class StderrOperator : public IOperatorPort {
public:
    void ShowMessage(const std::string& text, MessageIcon icon) override;
    std::size_t MessageCount() const { return m_messages; }

private:
    std::size_t m_messages = 0;
};

/// True when stderr is a terminal (progress bars are drawn only then).
bool StderrIsTerminal();

/// Draws "label [#####     ] 42%" on stderr, rewriting the line.
void DrawProgress(const std::string& label, double fraction);
void EndProgress();

} // namespace vexar::cli
