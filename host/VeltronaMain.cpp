// The veltrona program: the project side's command line (the windowed session joins it later).
#include "host/VeltronaCommands.h"

#include <iostream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    std::vector<std::string> arguments(argv + 1, argv + argc);
    CommandEnvironment environment{
        std::cout,
        std::cerr,
        [](const std::string& path, std::string* error) -> std::shared_ptr<const Catalogue> {
            std::optional<Catalogue> catalogue = Catalogue::Load(path, error);
            if (!catalogue)
                return nullptr;
            return std::make_shared<const Catalogue>(std::move(*catalogue));
        },
        nullptr,
    };
    return RunVeltrona(arguments, environment);
}
