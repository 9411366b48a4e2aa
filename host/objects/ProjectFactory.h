// New projects: a project with one gateway device at its defaults, and the demo project that the
// program opens when it is given none.
#pragma once

#include "host/catalogue/Catalogue.h"
#include "host/store/ProjectStore.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct NewProjectOptions
{
    std::string name = "Veltrona project";
    int addressLevels = 3;
    std::string deviceName = "DALI Gateway R3";
    std::string deviceDescription;
    std::uint16_t individualAddress = 0x1101; // 1.1.1
    // A main group "Lighting" with a few addresses, as the demo has.
    bool demoGroupAddresses = false;
};

// Adds the catalogue's device with every parameter at its default and every object at its standard
// settings.
bool AddGatewayDevice(ProjectStore& store, const Catalogue& catalogue, const NewProjectOptions& options,
                      std::string* error);

// Creates the file (never overwriting one) with the gateway device.
std::shared_ptr<ProjectStore> CreateGatewayProject(const std::string& path, const Catalogue& catalogue,
                                                   const NewProjectOptions& options, std::string* error);

// $XDG_DATA_HOME/veltrona/demo.veltrona, or ~/.local/share/veltrona/demo.veltrona; empty (and why)
// when neither is known.
std::string DemoProjectPath(std::string* error);
// The demo project's path, created with its folder on first use; empty (and why) on failure.
std::string EnsureDemoProject(const Catalogue& catalogue, std::string* error);
