#include "platform/DataFolders.h"

std::vector<std::filesystem::path> DataFoldersBeside(std::filesystem::path dir)
{
    std::vector<std::filesystem::path> folders;
    for (int up = 0; up < 4 && dir.has_relative_path(); ++up, dir = dir.parent_path())
        folders.push_back(dir.parent_path() / "share" / "veltrona");
    return folders;
}

std::filesystem::path ProgramFolder()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe.parent_path();
}
