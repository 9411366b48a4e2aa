// Host services: the value formatter and the language service (created by class identifier while a
// host session lives), a class factory for them, and the host window with its app procedures.
#pragma once

#include "host/objects/LiveConnectionProvider.h"
#include "host/store/ProjectStore.h"
#include "hostapi/EtsServices.h"

#include <functional>
#include <memory>

// Formats "eteC.GroupAddress" values in the project's notation: "1/2/3" or "1/515".
class CHostValueFormatter final : public ComObject<IEtsValueFormatter>
{
public:
    explicit CHostValueFormatter(std::shared_ptr<ProjectStore> store) : m_store(std::move(store)) {}
    // E_INVALIDARG for another type name or a value that is no 16-bit group address.
    HRESULT Format(const Variant& value, const std::string& typeName, std::int32_t flags,
                   std::string* text) override;

private:
    std::shared_ptr<ProjectStore> m_store;
};

class CHostLanguageService final : public ComObject<IEtsLanguageService>
{
public:
    explicit CHostLanguageService(std::int32_t languageId) : m_languageId(languageId) {}
    HRESULT get_CurrentLanguageId(std::int32_t* languageId) override;

private:
    std::int32_t m_languageId;
};

// Creates objects with a function; refuses aggregation.
class CHostClassFactory final : public ComObject<IClassFactory>
{
public:
    using Creator = std::function<ComPtr<IUnknown>()>;
    explicit CHostClassFactory(Creator creator) : m_creator(std::move(creator)) {}
    HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object) override;
    HRESULT LockServer(bool) override { return S_OK; }

private:
    Creator m_creator;
};

// Where the live connection comes from; shared by the windows of one session, empty until a gateway
// is plugged in.
struct LiveConnectionSlot
{
    std::shared_ptr<LiveConnectionProvider> provider;
};

class CHostWindow final : public ComObject<IEtsHostWindow>
{
public:
    CHostWindow(std::shared_ptr<LiveConnectionSlot> slot, ComPtr<IEtsHostWindow> parent = nullptr)
        : m_slot(std::move(slot)), m_parent(std::move(parent))
    {}
    HRESULT get_Parent(IEtsHostWindow** parent) override;
    // "GetLifeDeviceConnection": the plugged-in provider's connection for the device (E_FAIL and no
    // connection while none is plugged in). Other names: S_FALSE and an empty function.
    HRESULT GetAppProc(const std::string& name, EtsAppProc* proc) override;
    HRESULT get_NativeHandle(std::uintptr_t* handle) override;

    // The UI sets the widget that dialogs are parented on.
    void SetNativeHandle(std::uintptr_t handle) { m_handle = handle; }

private:
    std::shared_ptr<LiveConnectionSlot> m_slot;
    ComPtr<IEtsHostWindow> m_parent;
    std::uintptr_t m_handle = 0;
};
