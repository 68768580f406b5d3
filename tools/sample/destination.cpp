#include "destination.h"

#include <filesystem>
#include <unistd.h>

namespace sample {

namespace {

namespace fs = std::filesystem;

// The folder a new entry `path` would go into, as the user wrote it.
fs::path containingFolder(const fs::path &path)
{
    const fs::path parent = path.lexically_normal().parent_path();
    return parent.empty() ? fs::path(".") : parent;
}

std::string folderProblem(const fs::path &folder)
{
    std::error_code error;
    const fs::file_status status = fs::status(folder, error);
    if (!fs::exists(status))
        return "no folder " + folder.string();
    if (!fs::is_directory(status))
        return folder.string() + " is not a folder";
    if (access(folder.c_str(), W_OK | X_OK) != 0)
        return "no permission to write in " + folder.string();
    return "";
}

} // namespace

std::string fileDestinationProblem(const std::string &path)
{
    if (fs::is_directory(path))
        return "cannot write " + path + ": it is a folder";
    const std::string problem = folderProblem(containingFolder(path));
    return problem.empty() ? "" : "cannot write " + path + ": " + problem;
}

std::string folderDestinationProblem(const std::string &path)
{
    if (fs::is_directory(path))
        return "";
    if (fs::exists(path))
        return "cannot make the folder " + path + ": a file is there";
    // A missing folder is made with its missing parents; the nearest existing one must take it.
    fs::path existing = containingFolder(path);
    while (!fs::exists(existing) && existing != existing.parent_path())
        existing = containingFolder(existing);
    const std::string problem = folderProblem(existing);
    return problem.empty() ? "" : "cannot make the folder " + path + ": " + problem;
}

} // namespace sample
