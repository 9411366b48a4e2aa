#include "host/program/PluginLoader.h"

#include "platform/FileRegistry.h"

#include <dlfcn.h>
#include <filesystem>

namespace {

using GetClassObjectFunction = HRESULT (*)(const CLSID&, const IID&, void**);
using RegisterFunction = HRESULT (*)();

// The class identifier and library of a ProgID, as the registry has them.
bool Resolve(const FileRegistry& registry, const std::string& progId, CLSID& clsid, std::string& path)
{
    std::string id = progId;
    if (auto current = registry.GetValue(progId + "\\CurVer"))
        id = *current;
    auto text = registry.GetValue(id + "\\CLSID");
    if (!text)
        return false;
    auto guid = GuidFromString(*text);
    auto server = registry.GetValue("CLSID\\" + *text + "\\InprocServer32");
    if (!guid || !server)
        return false;
    clsid = *guid;
    path = *server;
    return true;
}

} // namespace

PluginLoader::~PluginLoader()
{
    m_factory.Reset();
    // The library stays loaded: objects it made may still be alive in the host's process.
}

bool PluginLoader::Load(const std::string& progId, const std::string& fallbackLibrary, std::string* error)
{
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    FileRegistry registry;
    std::string why;
    if (!registry.Load(FileRegistry::DefaultPath(), &why))
        return fail(why);
    if (!Resolve(registry, progId, m_clsid, m_path) || !std::filesystem::exists(m_path)) {
        if (fallbackLibrary.empty() || !std::filesystem::exists(fallbackLibrary))
            return fail("the plug-in " + progId + " is not registered");
        void* library = dlopen(fallbackLibrary.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!library)
            return fail(std::string("cannot load ") + fallbackLibrary + ": " + dlerror());
        auto registerServer = reinterpret_cast<RegisterFunction>(dlsym(library, "DllRegisterServer"));
        if (!registerServer || FAILED(registerServer()))
            return fail("the plug-in " + fallbackLibrary + " could not register itself");
        if (!registry.Load(FileRegistry::DefaultPath(), &why) || !Resolve(registry, progId, m_clsid, m_path))
            return fail("the plug-in " + progId + " did not register " + progId);
    }
    m_library = dlopen(m_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!m_library)
        return fail(std::string("cannot load ") + m_path + ": " + dlerror());
    auto getClassObject = reinterpret_cast<GetClassObjectFunction>(dlsym(m_library, "DllGetClassObject"));
    if (!getClassObject)
        return fail(m_path + " is no plug-in library");
    if (FAILED(getClassObject(m_clsid, IClassFactory::iid, OutPtr(m_factory))))
        return fail(m_path + " does not offer the class of " + progId);
    return true;
}

HRESULT PluginLoader::CreateDialog(ComPtr<IDeviceParameterDialog>& dialog)
{
    if (!m_factory)
        return E_UNEXPECTED;
    return m_factory->CreateInstance(nullptr, IDeviceParameterDialog::iid, OutPtr(dialog));
}
