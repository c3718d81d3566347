#pragma once
// The settings file read into and written from the settings values, key by key as the settings
// table declares them, and the limits a change of the settings is kept within.

#include "config/SettingsTable.h"
#include "config/SettingsValues.h"

#include <string>

namespace vexar {

/// The settings file's name beside the program.
inline constexpr const char* kSettingsFileName = "Vexar.INI";

/// Where the console's settings live.
struct SettingsPlace {
    std::string programFolder; ///< with a trailing separator: where the folders fall back to
    std::string path;          ///< the settings file
};

/// The settings file `path`; when it is empty, the one beside the program in `programFolder`
/// (with a trailing separator).
SettingsPlace SettingsPlaceOf(const std::string& programFolder, const std::string& path);

/// Reads every key of the table from the file at `path` into `settings`; a missing key or file
/// gives the key's fallback (the two folders fall back to `programFolder`). Keys marked so are
/// kept within their limits; the others are taken as the file has them.
void LoadSettingsFile(const std::string& path, const std::string& programFolder, Settings& settings);

/// Rewrites the keys of one save group in table order; keys the file lacks are appended in that
/// order. A failed write leaves the old file as it was.
void SaveSettingsGroup(const std::string& path, const Settings& settings, SaveGroup group);

/// Keeps every value that `after` changed against `before` within its key's limits, as the
/// controls keep them.
void ClampChangedSettings(const Settings& before, Settings& after);

} // namespace vexar
