#pragma once
// The files a command is given: files as they are, folders by their recordings, each file once.

#include <string>
#include <vector>

namespace vexar::cli {

/// The path a file is known by, for telling whether two names are one file (one that does not
/// exist yet included).
std::string FileIdentity(const std::string& path);

/// The files named: files as they are, folders by their files of the first extension in
/// `extensions` (".R96", ...; upper or lower case) that the folder has any of, in name order.
/// A file named twice (itself and in its folder, say) comes once. `batch` is set when more than
/// one file was named or a folder was.
std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs,
                                      const std::vector<std::string>& extensions, bool& batch);

} // namespace vexar::cli
