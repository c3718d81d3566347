#include "CliCommand.h"

#include "config/SettingsFile.h"

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>
#include <unistd.h>

namespace vexar::cli {

namespace {
std::vector<RegisteredCommand>& Registry() {
    static std::vector<RegisteredCommand> commands;
    return commands;
}
} // namespace

bool RegisterCommand(const std::string& name, const std::string& description, CommandSetup setup) {
    Registry().push_back(RegisteredCommand{name, description, std::move(setup)});
    return true;
}

const std::vector<RegisteredCommand>& RegisteredCommands() {
    return Registry();
}

void AddRecordingArgument(CLI::App& command, std::string& path) {
    command.add_option("FILE", path, "raw recording (.R96)")->required()->check(CLI::ExistingFile);
}

std::string ProgramFolder() {
    std::error_code error;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) {
        return "./";
    }
    return self.parent_path().string() + "/";
}

Settings SettingsOf(const CommonOptions& common) {
    Settings settings;
    const SettingsPlace place = SettingsPlaceOf(ProgramFolder(), common.settingsPath);
    LoadSettingsFile(place.path, place.programFolder, settings);
    return settings;
}

void StderrOperator::ShowMessage(const std::string& text, MessageIcon icon) {
    // The console's notes of success ("Conversion Complete!") are the summary's to say.
    if (icon == MessageIcon::Information) {
        return;
    }
    ++m_messages;
    std::fprintf(stderr, "vexar-cli: %s\n", text.c_str());
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

void DrawProgress(const std::string& label, double fraction) {
    constexpr int kWidth = 40;
    const double clamped = fraction < 0.0 ? 0.0 : (fraction > 1.0 ? 1.0 : fraction);
    const int filled = static_cast<int>(clamped * kWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), ' ');
    std::fprintf(stderr, "\r%s [%s] %3d%%", label.c_str(), bar.c_str(), static_cast<int>(clamped * 100.0));
    std::fflush(stderr);
}

void EndProgress() {
    std::fprintf(stderr, "\n");
}

} // namespace vexar::cli
