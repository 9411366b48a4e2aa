// The library's entry points: class factory, unload check and self-registration.
#include "platform/FileRegistry.h"
#include "plugin/UIPluginVeltrona.h"
#include "plugin/registration_scripts.h"
#include "trace/DebugTrace.h"

#include <dlfcn.h>
#include <filesystem>

#define VELTRONA_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

class CPluginClassFactory final : public ComObject<IClassFactory>
{
public:
    CPluginClassFactory() { VeltronaModule::Lock(); }
    ~CPluginClassFactory() override { VeltronaModule::Unlock(); }
    HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object) override
    {
        return CUIPluginVeltrona::CreateInstance(outer, riid, object);
    }
    HRESULT LockServer(bool lock) override
    {
        lock ? VeltronaModule::Lock() : VeltronaModule::Unlock();
        return S_OK;
    }
};

std::string ModulePath()
{
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ModulePath), &info) && info.dli_fname)
        return std::filesystem::absolute(info.dli_fname).string();
    return {};
}

HRESULT RunRegistration(bool unregister)
{
    const std::string module = ModulePath();
    FileRegistry registry;
    std::string error;
    if (module.empty() || !registry.Load(FileRegistry::DefaultPath(), &error))
        return E_FAIL;
    const std::map<std::string, std::string> replacements{
        {"%MODULE%", module}, {"%MODULEDIR%", std::filesystem::path(module).parent_path().string()}};
    for (const char* script : {kRegistrationScript, kTypeLibraryScript}) {
        if (!registry.RunScript(script, replacements, unregister, &error)) {
            TRACE_MSG(TRACE_ERROR, "%s", error.c_str());
            return E_FAIL;
        }
    }
    return registry.Save(&error) ? S_OK : E_FAIL;
}

} // namespace

VELTRONA_EXPORT HRESULT DllCanUnloadNow()
{
    return VeltronaModule::LockCount() == 0 ? S_OK : S_FALSE;
}

VELTRONA_EXPORT HRESULT DllGetClassObject(const CLSID& clsid, const IID& riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_UIPluginVeltrona)
        return CLASS_E_CLASSNOTAVAILABLE;
    return MakeComObject<CPluginClassFactory>()->QueryInterface(riid, object);
}

VELTRONA_EXPORT HRESULT DllRegisterServer()
{
    return RunRegistration(false);
}

VELTRONA_EXPORT HRESULT DllUnregisterServer()
{
    return RunRegistration(true);
}
