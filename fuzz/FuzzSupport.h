// What the fuzz targets share: the input as a file (the readers take file names) and the shipped
// catalogue, loaded once per process.
#pragma once

#include "host/catalogue/CatalogueModel.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <unistd.h>

namespace fuzzing {

// A file of the process in memory-backed storage, rewritten with each input.
inline const std::string& InputFile(const char* name)
{
    static const std::string path = [&] {
        const char* base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        return std::string(base) + "/veltrona-fuzz-" + std::to_string(::getpid()) + "-" + name;
    }();
    return path;
}

inline const std::string& WriteInput(const char* name, const std::uint8_t* data, std::size_t size)
{
    const std::string& path = InputFile(name);
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, file) != size)
        std::abort();
    std::fclose(file);
    return path;
}

inline std::shared_ptr<const CatalogueModel> ShippedCatalogue()
{
    static std::shared_ptr<const CatalogueModel> model = [] {
        std::string error;
        auto built = CatalogueModel::Load(Catalogue::DefaultPath(), &error);
        if (!built) {
            std::fprintf(stderr, "the shipped catalogue: %s\n", error.c_str());
            std::abort();
        }
        return built;
    }();
    return model;
}

} // namespace fuzzing
