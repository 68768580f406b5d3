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

// What is at `path`; the reason in words when even that cannot be found out.
fs::file_status statusOf(const fs::path &path, std::string *why)
{
    std::error_code error;
    const fs::file_status status = fs::status(path, error);
    if (error && error != std::errc::no_such_file_or_directory &&
        error != std::errc::not_a_directory)
        *why = error.message();
    return status;
}

std::string folderProblem(const fs::path &folder)
{
    std::string why;
    const fs::file_status status = statusOf(folder, &why);
    if (!why.empty())
        return folder.string() + ": " + why;
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
    if (path.empty())
        return "cannot write an empty path";
    std::string why;
    const fs::file_status status = statusOf(path, &why);
    if (fs::is_directory(status))
        why = "it is a folder";
    else if (fs::exists(status) && !fs::is_regular_file(status))
        why = "not a regular file";
    else if (why.empty())
        why = folderProblem(containingFolder(path));
    return why.empty() ? "" : "cannot write " + path + ": " + why;
}

std::string folderDestinationProblem(const std::string &path)
{
    std::string why;
    const fs::file_status status = statusOf(path, &why);
    if (why.empty() && fs::is_directory(status))
        return "";
    if (why.empty() && fs::exists(status))
        why = "a file is there";
    // A missing folder is made with its missing parents; the nearest existing one must take it.
    fs::path existing = containingFolder(path);
    std::string unknown;
    while (why.empty() && !fs::exists(statusOf(existing, &unknown)) && unknown.empty() &&
           existing != existing.parent_path())
        existing = containingFolder(existing);
    if (why.empty())
        why = folderProblem(existing);
    return why.empty() ? "" : "cannot make the folder " + path + ": " + why;
}

namespace {
fs::path resolved(const std::string &path, std::error_code &error)
{
    return fs::weakly_canonical(fs::absolute(path, error), error);
}
} // namespace

bool samePlace(const std::string &a, const std::string &b)
{
    std::error_code error;
    return resolved(a, error) == resolved(b, error) && !error;
}

bool isInside(const std::string &path, const std::string &folder)
{
    std::error_code error;
    const fs::path inner = resolved(path, error);
    const fs::path outer = resolved(folder, error);
    if (error)
        return false;
    const fs::path relative = inner.lexically_relative(outer);
    return !relative.empty() && *relative.begin() != "..";
}

} // namespace sample
