#include "InputFiles.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <set>

namespace vexar::cli {

namespace fs = std::filesystem;

std::string FileIdentity(const std::string& path) {
    std::error_code error;
    const fs::path canonical = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? path : canonical.string();
}

namespace {
std::string UpperExtension(const fs::path& path) {
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return extension;
}

std::vector<std::string> FolderFiles(const std::string& folder, const std::vector<std::string>& extensions) {
    for (const std::string& wanted : extensions) {
        std::vector<std::string> found;
        for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
            if (entry.is_regular_file() && UpperExtension(entry.path()) == wanted) {
                found.push_back(entry.path().string());
            }
        }
        if (!found.empty()) {
            std::sort(found.begin(), found.end());
            return found;
        }
    }
    return {};
}
} // namespace

std::vector<std::string> ExpandInputs(const std::vector<std::string>& inputs,
                                      const std::vector<std::string>& extensions, bool& batch) {
    std::vector<std::string> files;
    batch = inputs.size() > 1;
    for (const std::string& input : inputs) {
        if (!fs::is_directory(input)) {
            files.push_back(input);
            continue;
        }
        batch = true;
        const std::vector<std::string> found = FolderFiles(input, extensions);
        files.insert(files.end(), found.begin(), found.end());
    }
    std::set<std::string> identities;
    std::erase_if(files,
                  [&](const std::string& file) { return !identities.insert(FileIdentity(file)).second; });
    return files;
}

} // namespace vexar::cli
