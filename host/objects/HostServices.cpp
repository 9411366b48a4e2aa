#include "host/objects/HostServices.h"

#include "host/objects/HostProject.h"
#include "trace/DebugTrace.h"

HRESULT CHostValueFormatter::Format(const Variant& value, const std::string& typeName, std::int32_t /*flags*/,
                                    std::string* text)
{
    if (!text)
        return E_POINTER;
    if (typeName != "eteC.GroupAddress")
        return E_INVALIDARG;
    Variant number = value;
    if (value.IsEmptyOrNull() || FAILED(number.ChangeType(VT_I4)) || number.lVal() < 0 ||
        number.lVal() > 0xFFFF)
        return E_INVALIDARG;
    std::optional<int> levels = m_store->AddressLevels();
    if (!levels)
        return E_FAIL;
    *text = FormatGroupAddress(number.lVal(), *levels);
    return S_OK;
}

HRESULT CHostLanguageService::get_CurrentLanguageId(std::int32_t* languageId)
{
    if (!languageId)
        return E_POINTER;
    *languageId = m_languageId;
    return S_OK;
}

HRESULT CHostClassFactory::CreateInstance(IUnknown* outer, const IID& riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    ComPtr<IUnknown> created = m_creator ? m_creator() : nullptr;
    if (!created)
        return E_FAIL;
    return created->QueryInterface(riid, object);
}

HRESULT CHostWindow::get_Parent(IEtsHostWindow** parent)
{
    if (!parent)
        return E_POINTER;
    *parent = nullptr;
    if (!m_parent)
        return S_FALSE;
    return m_parent.CopyTo(parent);
}

HRESULT CHostWindow::GetAppProc(const std::string& name, EtsAppProc* proc)
{
    if (!proc)
        return E_POINTER;
    *proc = nullptr;
    if (name != "GetLifeDeviceConnection")
        return S_FALSE;
    std::shared_ptr<LiveConnectionSlot> slot = m_slot;
    *proc = [slot](IEtsDevice* device, std::int32_t, std::int32_t, std::int32_t, const IID& riid,
                   void** object) -> HRESULT {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (!device)
            return E_POINTER;
        if (!slot || !slot->provider) {
            TRACE_MSG(TRACE_INFO, "no gateway is plugged in");
            return E_FAIL;
        }
        ComPtr<IEtsLifeDeviceConnection> connection;
        HRESULT hr = slot->provider->GetConnection(device, connection);
        if (FAILED(hr))
            return hr;
        if (!connection)
            return E_FAIL;
        return connection->QueryInterface(riid, object);
    };
    return S_OK;
}

HRESULT CHostWindow::get_NativeHandle(std::uintptr_t* handle)
{
    if (!handle)
        return E_POINTER;
    *handle = m_handle;
    return S_OK;
}
