#include "platform/ClassRegistry.h"

#include <map>
#include <mutex>

namespace {

struct Registry
{
    std::mutex mutex;
    std::map<CLSID, ComPtr<IClassFactory>> factories;
};

Registry& TheRegistry()
{
    static Registry registry;
    return registry;
}

} // namespace

void RegisterClassObject(const CLSID& clsid, IClassFactory* factory)
{
    Registry& r = TheRegistry();
    std::lock_guard lock(r.mutex);
    if (factory)
        r.factories[clsid] = factory;
    else
        r.factories.erase(clsid);
}

void RevokeClassObject(const CLSID& clsid)
{
    RegisterClassObject(clsid, nullptr);
}

HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    ComPtr<IClassFactory> factory;
    {
        Registry& r = TheRegistry();
        std::lock_guard lock(r.mutex);
        auto it = r.factories.find(clsid);
        if (it == r.factories.end())
            return REGDB_E_CLASSNOTREG;
        factory = it->second;
    }
    return factory->CreateInstance(outer, riid, object);
}
