#include "host/objects/HostSession.h"

#include "host/objects/DeviceContext.h"
#include "host/objects/HostDevice.h"
#include "platform/ClassRegistry.h"
#include "trace/DebugTrace.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

// Sessions alive in the process, the newest last: its services are the registered ones.
struct SessionList
{
    std::mutex mutex;
    std::vector<HostSession*> sessions;
};

SessionList& Sessions()
{
    static SessionList list;
    return list;
}

} // namespace

std::unique_ptr<HostSession> HostSession::Open(std::shared_ptr<ProjectStore> store,
                                               std::shared_ptr<const CatalogueModel> model,
                                               std::string* error,
                                               std::optional<std::uint16_t> individualAddress)
{
    auto fail = [&](const std::string& text) {
        if (error)
            *error = text;
        return std::unique_ptr<HostSession>();
    };
    if (!store || !model)
        return fail("No project or no catalogue.");
    std::vector<DeviceRecord> devices;
    if (!store->Devices(devices))
        return fail(store->LastError());
    const ApplicationIdentity& app = model->Application();
    auto it = std::find_if(devices.begin(), devices.end(), [&](const DeviceRecord& d) {
        if (individualAddress)
            return d.individualAddress == *individualAddress;
        return d.manufacturer == app.manufacturerNumber && d.applicationNumber == app.applicationNumber;
    });
    if (it == devices.end())
        return fail("The project '" + store->Path() + "' has no " +
                    (individualAddress ? "such device." : "gateway device."));
    std::shared_ptr<DeviceContext> context = DeviceContext::Open(store, std::move(model), *it, error);
    if (!context)
        return nullptr;
    return std::make_unique<HostSession>(Key{}, std::move(store), std::move(context));
}

std::unique_ptr<HostSession>
HostSession::Open(const std::string& path, std::shared_ptr<const CatalogueModel> model, std::string* error)
{
    std::shared_ptr<ProjectStore> store = ProjectStore::Open(path, error);
    if (!store)
        return nullptr;
    return Open(std::move(store), std::move(model), error);
}

HostSession::HostSession(Key, std::shared_ptr<ProjectStore> store, std::shared_ptr<DeviceContext> context)
    : m_store(std::move(store)), m_context(std::move(context)),
      m_slot(std::make_shared<LiveConnectionSlot>()), m_languageId(std::make_shared<std::int32_t>(1033))
{
    m_device = MakeComObject<CHostDevice>(m_context);
    m_window = MakeComObject<CHostWindow>(m_slot);
    auto store_ = m_store;
    m_formatterFactory = MakeComObject<CHostClassFactory>([store_]() -> ComPtr<IUnknown> {
        return ComPtr<IEtsValueFormatter>(MakeComObject<CHostValueFormatter>(store_));
    });
    auto language = m_languageId;
    m_languageFactory = MakeComObject<CHostClassFactory>([language]() -> ComPtr<IUnknown> {
        return ComPtr<IEtsLanguageService>(MakeComObject<CHostLanguageService>(*language));
    });
    SessionList& list = Sessions();
    std::lock_guard lock(list.mutex);
    list.sessions.push_back(this);
    RegisterServices();
}

HostSession::~HostSession()
{
    if (Editing())
        EndEditing(E_ABORT);
    SessionList& list = Sessions();
    std::lock_guard lock(list.mutex);
    bool newest = !list.sessions.empty() && list.sessions.back() == this;
    std::erase(list.sessions, this);
    if (!newest)
        return;
    if (list.sessions.empty()) {
        RevokeClassObject(CLSID_EtsValueFormatter);
        RevokeClassObject(CLSID_EtsLanguageService);
    } else {
        list.sessions.back()->RegisterServices();
    }
}

void HostSession::RegisterServices()
{
    RegisterClassObject(CLSID_EtsValueFormatter, m_formatterFactory.Get());
    RegisterClassObject(CLSID_EtsLanguageService, m_languageFactory.Get());
}

void HostSession::SetLiveConnectionProvider(std::shared_ptr<LiveConnectionProvider> provider)
{
    m_slot->provider = std::move(provider);
}

void HostSession::SetLanguageId(std::int32_t languageId)
{
    *m_languageId = languageId;
}

HRESULT HostSession::BeginEditing()
{
    if (!m_store->BeginSession()) {
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", m_store->LastError().c_str());
        return E_FAIL;
    }
    return S_OK;
}

HRESULT HostSession::EndEditing(HRESULT dialogResult)
{
    if (!Editing())
        return E_UNEXPECTED;
    if (dialogResult == S_OK) {
        if (m_store->Commit())
            return S_OK;
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", m_store->LastError().c_str());
        // What could not be saved is dropped rather than left open.
        m_store->Rollback();
        return E_FAIL;
    }
    if (!m_store->Rollback()) {
        TRACE_HR_MSG(TRACE_ERROR, E_FAIL, "%s", m_store->LastError().c_str());
        return E_FAIL;
    }
    return S_OK;
}

bool HostSession::Editing() const
{
    return m_store->InSession();
}

HRESULT HostSession::RunDialog(IDeviceParameterDialog* dialog)
{
    if (!dialog)
        return E_POINTER;
    if (HRESULT hr = BeginEditing(); FAILED(hr))
        return hr;
    IUnknown* objects[] = {m_device.Get()};
    HRESULT hr = dialog->SetHostObjects(1, objects);
    if (SUCCEEDED(hr))
        hr = dialog->ShowModal(m_window.Get());
    HRESULT saved = EndEditing(hr);
    return FAILED(saved) ? saved : hr;
}
