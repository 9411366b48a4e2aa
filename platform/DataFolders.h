// Where the program's data files are: share/veltrona beside the folder of a program or library.
#pragma once

#include <filesystem>
#include <vector>

// share/veltrona beside dir (bin/ or lib/veltrona/ of an installation), and beside its parents up
// to four folders up, so that the build tree, which mirrors an installation with its programs a few
// folders deeper, is found alike. Nearest first; none is checked for existence.
std::vector<std::filesystem::path> DataFoldersBeside(std::filesystem::path dir);

// The folder of the running program; empty when it cannot be read.
std::filesystem::path ProgramFolder();
