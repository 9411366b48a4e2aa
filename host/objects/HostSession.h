// One project opened in the host: the gateway device's host objects, the host window, the services
// registered by class identifier while the session lives, and the editing session (OK commits,
// anything else rolls back).
#pragma once

#include "host/catalogue/CatalogueModel.h"
#include "host/objects/HostServices.h"
#include "host/store/ProjectStore.h"
#include "hostapi/EtsHost.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

class DeviceContext;

// The host objects of a session serve one thread (the UI thread); the live connection's app procedure
// may be called from another, it touches no project data.
class HostSession
{
    struct Key
    {};

public:
    // The device at the individual address, or the first device of the catalogue's application.
    static std::unique_ptr<HostSession> Open(std::shared_ptr<ProjectStore> store,
                                             std::shared_ptr<const CatalogueModel> model, std::string* error,
                                             std::optional<std::uint16_t> individualAddress = std::nullopt);
    static std::unique_ptr<HostSession> Open(const std::string& path,
                                             std::shared_ptr<const CatalogueModel> model, std::string* error);

    HostSession(Key, std::shared_ptr<ProjectStore> store, std::shared_ptr<DeviceContext> context);
    // Drops an unfinished editing session; the services go back to the session opened before, if any.
    ~HostSession();
    HostSession(const HostSession&) = delete;
    HostSession& operator=(const HostSession&) = delete;

    ProjectStore& Store() const { return *m_store; }
    const std::shared_ptr<ProjectStore>& StorePtr() const { return m_store; }
    ComPtr<IEtsDevice> Device() const { return m_device; }
    ComPtr<CHostWindow> Window() const { return m_window; }

    void SetLiveConnectionProvider(std::shared_ptr<LiveConnectionProvider> provider);
    // The language the language service reports (1033 English by default).
    void SetLanguageId(std::int32_t languageId);

    // Starts the transaction of an editing session.
    HRESULT BeginEditing();
    // S_OK from the dialog keeps the changes; E_ABORT, E_FAIL or anything else drops them.
    HRESULT EndEditing(HRESULT dialogResult);
    bool Editing() const;
    // Hands the device to the plug-in's dialog, runs it modally on the host window and ends the
    // editing session by its answer; the dialog's answer, or the failure to save.
    HRESULT RunDialog(IDeviceParameterDialog* dialog);

private:
    void RegisterServices();

    std::shared_ptr<ProjectStore> m_store;
    std::shared_ptr<DeviceContext> m_context;
    ComPtr<IEtsDevice> m_device;
    std::shared_ptr<LiveConnectionSlot> m_slot;
    ComPtr<CHostWindow> m_window;
    std::shared_ptr<std::int32_t> m_languageId;
    ComPtr<IClassFactory> m_formatterFactory;
    ComPtr<IClassFactory> m_languageFactory;
};
