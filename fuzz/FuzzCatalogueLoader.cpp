// Fuzz target: the product catalogue loader and the index built from a loaded catalogue.
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string& file = fuzzing::WriteInput("catalogue.xml", data, size);
    std::string error;
    auto loaded = Catalogue::Load(file, &error);
    if (loaded)
        CatalogueModel::Build(std::make_shared<const Catalogue>(std::move(*loaded)), &error);
    return 0;
}
