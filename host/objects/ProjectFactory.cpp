#include "host/objects/ProjectFactory.h"

#include "host/catalogue/CatalogueModel.h"
#include "host/objects/DeviceContext.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>

bool AddGatewayDevice(ProjectStore& store, const Catalogue& catalogue, const NewProjectOptions& options,
                      std::string* error)
{
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return false;
    };
    const ApplicationIdentity& app = catalogue.Application();
    DeviceRecord device;
    device.individualAddress = options.individualAddress;
    device.name = options.deviceName;
    device.description = options.deviceDescription;
    device.manufacturer = app.manufacturerNumber;
    device.applicationNumber = app.applicationNumber;
    device.applicationVersion = app.applicationVersion;
    device.maskVersion = app.maskVersion;

    // The defaults in their travelling form (a 32-bit mask default keeps bit 31); the model only
    // lives inside this call, so it borrows the catalogue.
    auto shared = std::shared_ptr<const Catalogue>(std::shared_ptr<const Catalogue>(), &catalogue);
    std::string why;
    std::shared_ptr<const CatalogueModel> model = CatalogueModel::Build(shared, &why);
    if (!model)
        return fail(why);

    bool ok = store.Atomically([&] {
        if (!store.AddDevice(device))
            return false;
        // Every value is stored: the project keeps its configuration when a later catalogue changes
        // a default; numbers a later catalogue adds read as their defaults.
        for (std::size_t i = 0; i < model->ParameterCount(); ++i) {
            const Variant& value = model->DefaultValue(i);
            if (value.vt() == VT_EMPTY)
                continue;
            if (!store.SetParameterValue(device.id, model->Parameter(i).uniqueNr,
                                         DeviceContext::ToStored(value)))
                return false;
        }
        for (const CatalogueObject& o : catalogue.Objects()) {
            if (!store.SetObject(device.id, StandardObjectSettings(o)))
                return false;
        }
        if (options.demoGroupAddresses) {
            if (!store.AddMainGroup(1, "Lighting") || !store.AddMiddleGroup(1, 0, "Switching") ||
                !store.AddMiddleGroup(1, 1, "Dimming") || !store.AddMiddleGroup(1, 2, "Scenes"))
                return false;
            struct Address
            {
                int middle, sub;
                const char* name;
            };
            static constexpr Address addresses[] = {
                {0, 1, "Central on/off"},  {0, 2, "Office on/off"},  {0, 3, "Corridor on/off"},
                {1, 1, "Central dimming"}, {1, 2, "Office dimming"}, {2, 1, "Scene call"},
            };
            for (const Address& a : addresses) {
                if (!store.AddGroupAddress(1 * 2048 + a.middle * 256 + a.sub, a.name))
                    return false;
            }
        }
        return true;
    });
    return ok || fail(store.LastError());
}

std::shared_ptr<ProjectStore> CreateGatewayProject(const std::string& path, const Catalogue& catalogue,
                                                   const NewProjectOptions& options, std::string* error)
{
    auto fill = [&](ProjectStore& store, std::string* why) {
        return AddGatewayDevice(store, catalogue, options, why);
    };
    return ProjectStore::Create(path, options.name, options.addressLevels, fill, error);
}

std::string DemoProjectPath(std::string* error)
{
    namespace fs = std::filesystem;
    // Relative values are to be ignored, as the XDG rules say.
    const char* data = std::getenv("XDG_DATA_HOME");
    fs::path base;
    if (data && *data && fs::path(data).is_absolute()) {
        base = data;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            if (error)
                *error = "Neither XDG_DATA_HOME nor HOME is set: there is no place for the demo project.";
            return {};
        }
        base = fs::path(home) / ".local" / "share";
    }
    return (base / "veltrona" / "demo.veltrona").string();
}

std::string EnsureDemoProject(const Catalogue& catalogue, std::string* error)
{
    namespace fs = std::filesystem;
    std::string path = DemoProjectPath(error);
    if (path.empty())
        return {};
    std::error_code ec;
    if (fs::exists(path, ec))
        return path;
    fs::create_directories(fs::path(path).parent_path(), ec);
    if (ec) {
        if (error)
            *error = "The folder of the demo project cannot be made: " + ec.message() + ".";
        return {};
    }
    NewProjectOptions options;
    options.name = "Veltrona demo";
    options.deviceDescription = "Demo gateway with a simulated DALI line";
    options.demoGroupAddresses = true;
    std::string why;
    if (!CreateGatewayProject(path, catalogue, options, &why)) {
        // Another process may have made it meanwhile.
        if (fs::exists(path, ec))
            return path;
        if (error)
            *error = why;
        return {};
    }
    return path;
}
