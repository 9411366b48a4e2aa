// A projected gateway (model over a fake device with its application program and project), a
// simulated gateway reached through a host window, recording prompts and progress boxes.
#pragma once

#include "device/EtsLifeDeviceConnection.h"
#include "model/tests/GatewayFixture.h"
#include "simulator/tests/HostLink.h"

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace devicefixture {

// The host is single-threaded: every call of a host object (the live connection aside, whose waits
// for the bus may run elsewhere) must come from the thread that made it. Tests switch the check on.
struct HostThread
{
    std::thread::id owner = std::this_thread::get_id();
    std::atomic<int> calls{0};
    std::atomic<int> strays{0};
    std::mutex mutex;
    std::string firstStray;
};
inline std::atomic<HostThread*> g_hostThread{nullptr};

inline void HostCall(const char* what)
{
    HostThread* check = g_hostThread.load();
    if (!check)
        return;
    ++check->calls;
    if (std::this_thread::get_id() == check->owner)
        return;
    std::lock_guard lock(check->mutex);
    if (check->strays++ == 0)
        check->firstStray = what;
}

// The device's parameters as the model reaches them, each call checked for its thread.
class CheckedUiParameter final : public ComObject<IEtsUIParameter>
{
public:
    explicit CheckedUiParameter(ComPtr<IEtsUIParameter> p) : inner(std::move(p)) {}
    ComPtr<IEtsUIParameter> inner;
    HRESULT get_UniqueNumber(std::int32_t* n) override
    {
        HostCall("get_UniqueNumber");
        return inner->get_UniqueNumber(n);
    }
    HRESULT get_Description(std::string* t) override
    {
        HostCall("get_Description");
        return inner->get_Description(t);
    }
    HRESULT get_Accessible(std::int16_t* a) override
    {
        HostCall("get_Accessible");
        return inner->get_Accessible(a);
    }
    HRESULT get_Type(IEtsParameterType** t) override
    {
        HostCall("get_Type");
        return inner->get_Type(t);
    }
    HRESULT get_DefaultValue(Variant* v) override
    {
        HostCall("get_DefaultValue");
        return inner->get_DefaultValue(v);
    }
    HRESULT get_DependentParameters(IEtsCollection<IEtsUIParameter>** d) override
    {
        HostCall("get_DependentParameters");
        return inner->get_DependentParameters(d);
    }
    HRESULT get_Parent(IEtsUIParameter** p) override
    {
        HostCall("get_Parent");
        return inner->get_Parent(p);
    }
    HRESULT get_ConditionValue(Variant* v) override
    {
        HostCall("get_ConditionValue");
        return inner->get_ConditionValue(v);
    }
};

class CheckedParameter final : public ComObject<IEtsDeviceParameter>
{
public:
    explicit CheckedParameter(ComPtr<IEtsDeviceParameter> p) : inner(std::move(p)) {}
    ComPtr<IEtsDeviceParameter> inner;
    HRESULT get_Value(Variant* v) override
    {
        HostCall("get_Value");
        return inner->get_Value(v);
    }
    HRESULT put_Value(const Variant& v) override
    {
        HostCall("put_Value");
        return inner->put_Value(v);
    }
    HRESULT get_Visible(std::int16_t* v) override
    {
        HostCall("get_Visible");
        return inner->get_Visible(v);
    }
    HRESULT get_UIParameter(IEtsUIParameter** p) override
    {
        HostCall("get_UIParameter");
        ComPtr<IEtsUIParameter> ui;
        if (HRESULT hr = inner->get_UIParameter(ui.GetAddressOf()); FAILED(hr) || !ui)
            return hr;
        ComPtr<IEtsUIParameter> checked = MakeComObject<CheckedUiParameter>(ui);
        return checked.CopyTo(p);
    }
};

class CheckedParameters final : public ComObject<IEtsCollection<IEtsDeviceParameter>>
{
public:
    explicit CheckedParameters(ComPtr<IEtsCollection<IEtsDeviceParameter>> list) : inner(std::move(list)) {}
    ComPtr<IEtsCollection<IEtsDeviceParameter>> inner;
    HRESULT get_Count(std::int32_t* count) override
    {
        HostCall("get_Count");
        return inner->get_Count(count);
    }
    HRESULT Item(const Variant& index, IEtsDeviceParameter** item) override
    {
        HostCall("Item");
        ComPtr<IEtsDeviceParameter> p;
        if (HRESULT hr = inner->Item(index, p.GetAddressOf()); FAILED(hr) || !p)
            return hr;
        ComPtr<IEtsDeviceParameter> checked = MakeComObject<CheckedParameter>(p);
        return checked.CopyTo(item);
    }
};

class Manufacturer final : public ComObject<IEtsManufacturer>
{
public:
    Manufacturer(std::int32_t n, std::string text) : number(n), name(std::move(text)) {}
    HRESULT get_Number(std::int32_t* n) override
    {
        HostCall("get_Number");
        *n = number;
        return S_OK;
    }
    HRESULT get_Name(std::string* t) override
    {
        HostCall("get_Name");
        *t = name;
        return S_OK;
    }
    std::int32_t number;
    std::string name;
};

// The project's manufacturer list, found by "$(Number)=n" only.
class Manufacturers final : public ComObject<IEtsCollection<IEtsManufacturer>>
{
public:
    std::vector<ComPtr<Manufacturer>> items;
    HRESULT get_Count(std::int32_t* count) override
    {
        HostCall("get_Count");
        *count = static_cast<std::int32_t>(items.size());
        return S_OK;
    }
    HRESULT Item(const Variant& index, IEtsManufacturer** item) override
    {
        HostCall("Item");
        for (const auto& m : items) {
            if (index.vt() == VT_BSTR && index.bstrVal() == "$(Number)=" + std::to_string(m->number))
                return ComPtr<IEtsManufacturer>(m.Get()).CopyTo(item);
        }
        return DISP_E_BADINDEX;
    }
};

class Project final : public ComObject<IEtsProject>
{
public:
    ComPtr<Manufacturers> manufacturers = MakeComObject<Manufacturers>();
    HRESULT get_Name(std::string* n) override
    {
        HostCall("get_Name");
        *n = "Project";
        return S_OK;
    }
    HRESULT get_GroupAddresses(IEtsCollection<IEtsGroupAddress>**) override
    {
        HostCall("get_GroupAddresses");
        return E_NOTIMPL;
    }
    HRESULT get_MainGroups(IEtsMainGroupList**) override
    {
        HostCall("get_MainGroups");
        return E_NOTIMPL;
    }
    HRESULT get_DatapointTypes(IEtsCollection<IEtsDatapointType>** t) override
    {
        HostCall("get_DatapointTypes");
        *t = nullptr;
        return S_FALSE;
    }
    HRESULT get_Manufacturers(IEtsCollection<IEtsManufacturer>** m) override
    {
        HostCall("get_Manufacturers");
        return ComPtr<IEtsCollection<IEtsManufacturer>>(manufacturers.Get()).CopyTo(m);
    }
};

class ApplicationProgram final : public ComObject<IEtsApplicationProgram>
{
public:
    GatewayIdentity identity;
    HRESULT failure = S_OK; // every call fails with it when set
    HRESULT get_Number(std::int32_t* n) override
    {
        HostCall("get_Number");
        *n = identity.applicationNumber;
        return failure;
    }
    HRESULT get_Version(std::int32_t* v) override
    {
        HostCall("get_Version");
        *v = identity.applicationVersion;
        return failure;
    }
    HRESULT get_MaskVersion(std::int32_t* m) override
    {
        HostCall("get_MaskVersion");
        *m = identity.maskVersion;
        return failure;
    }
    HRESULT get_Manufacturer(IEtsManufacturer** m) override
    {
        HostCall("get_Manufacturer");
        if (FAILED(failure))
            return failure;
        return MakeComObject<Manufacturer>(identity.manufacturer, "")
            ->QueryInterface(IEtsManufacturer::iid, reinterpret_cast<void**>(m));
    }
};

// The projected gateway: the model's fake device with an application program and a project.
class Device final : public ComObject<IEtsDevice>
{
public:
    ComPtr<fake::Device> inner = fixture::MakeGateway();
    ComPtr<ApplicationProgram> program = MakeComObject<ApplicationProgram>();
    ComPtr<Project> project = MakeComObject<Project>();

    HRESULT get_Parameters(IEtsCollection<IEtsDeviceParameter>** p) override
    {
        HostCall("get_Parameters");
        ComPtr<IEtsCollection<IEtsDeviceParameter>> list;
        if (HRESULT hr = inner->get_Parameters(list.GetAddressOf()); FAILED(hr) || !list)
            return hr;
        ComPtr<IEtsCollection<IEtsDeviceParameter>> checked = MakeComObject<CheckedParameters>(list);
        return checked.CopyTo(p);
    }
    HRESULT get_CommObjects(std::int16_t v, IEtsCollection<IEtsCommObject>** o) override
    {
        HostCall("get_CommObjects");
        return inner->get_CommObjects(v, o);
    }
    HRESULT get_IndividualAddress(std::string* a) override
    {
        HostCall("get_IndividualAddress");
        return inner->get_IndividualAddress(a);
    }
    HRESULT get_Name(std::string* n) override
    {
        HostCall("get_Name");
        return inner->get_Name(n);
    }
    HRESULT get_Description(std::string* d) override
    {
        HostCall("get_Description");
        return inner->get_Description(d);
    }
    HRESULT get_Project(IEtsProject** p) override
    {
        HostCall("get_Project");
        return ComPtr<IEtsProject>(project.Get()).CopyTo(p);
    }
    HRESULT get_ApplicationProgram(IEtsApplicationProgram** p) override
    {
        HostCall("get_ApplicationProgram");
        return ComPtr<IEtsApplicationProgram>(program.Get()).CopyTo(p);
    }
};

// The host's connection as the plug-in gets it, with taps to tamper with replies and count closes.
class TappedConnection final : public ComObject<IEtsLifeDeviceConnection>
{
public:
    explicit TappedConnection(std::shared_ptr<GatewaySimulator> gateway)
        : simulated(hostlink::Connect(std::move(gateway)))
    {}
    ComPtr<hostlink::Connection> simulated;
    int closes = 0;
    std::set<std::thread::id> busThreads; // where its calls came from
    std::function<void(std::uint8_t propertyId, std::uint8_t* buffer)> onRead;
    std::function<void(std::uint8_t propertyId, const std::uint8_t* data)> onWrite;
    std::function<void(std::uint8_t propertyId, const std::uint8_t* data)> afterWrite; // once taken
    std::function<HRESULT(std::uint8_t propertyId)> readFailure; // S_OK: the read goes through

    HRESULT Open() override
    {
        OnBus();
        return simulated->Open();
    }
    HRESULT Close() override
    {
        OnBus();
        ++closes;
        return simulated->Close();
    }
    HRESULT get_DeviceInfo(IEtsDeviceInfo** info) override
    {
        OnBus();
        return simulated->get_DeviceInfo(info);
    }
    void OnBus()
    {
        std::lock_guard lock(mutex);
        busThreads.insert(std::this_thread::get_id());
    }
    std::mutex mutex;
    HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                         std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                         std::uint8_t* buffer) override
    {
        OnBus();
        if (readFailure) {
            if (HRESULT hr = readFailure(propertyId); FAILED(hr))
                return hr;
        }
        HRESULT hr =
            simulated->ReadProperty(objectIndex, propertyId, propertyType, startIndex, count, size, buffer);
        if (SUCCEEDED(hr) && onRead)
            onRead(propertyId, buffer);
        return hr;
    }
    HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                          std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                          const std::uint8_t* buffer, std::int16_t verify) override
    {
        OnBus();
        if (onWrite)
            onWrite(propertyId, buffer);
        HRESULT hr = simulated->WriteProperty(objectIndex, propertyId, propertyType, startIndex, count, size,
                                              buffer, verify);
        if (SUCCEEDED(hr) && afterWrite)
            afterWrite(propertyId, buffer);
        return hr;
    }
};

// A host window below the host's top-level one; only the top-level one hands out connections.
class HostWindow final : public ComObject<IEtsHostWindow>
{
public:
    ComPtr<HostWindow> parent;
    std::function<ComPtr<IEtsLifeDeviceConnection>()> connect; // empty: the host has no such function
    int handedOut = 0;

    HRESULT get_Parent(IEtsHostWindow** p) override
    {
        HostCall("get_Parent");
        if (!parent) {
            *p = nullptr;
            return S_FALSE;
        }
        return ComPtr<IEtsHostWindow>(parent.Get()).CopyTo(p);
    }
    HRESULT GetAppProc(const std::string& name, EtsAppProc* proc) override
    {
        HostCall("GetAppProc");
        if (parent || name != "GetLifeDeviceConnection" || !connect) {
            *proc = {};
            return S_FALSE;
        }
        *proc = [this](IEtsDevice* device, std::int32_t a, std::int32_t b, std::int32_t c, const IID& riid,
                       void** object) -> HRESULT {
            if (!device || a != 0 || b != 1 || c != -1)
                return E_INVALIDARG;
            ++handedOut;
            return connect()->QueryInterface(riid, object);
        };
        return S_OK;
    }
    HRESULT get_NativeHandle(std::uintptr_t* handle) override
    {
        *handle = 0;
        return S_OK;
    }
};

// Records what the procedures show. Cancel is pressed at a chosen CheckCancel of any box, or while
// a chosen info text is shown (the user interface takes the click in then); once pressed it stays.
struct BoxLog
{
    std::vector<std::string> events;
    int checks = 0;
    int cancelAtCheck = 0;    // 0: never
    std::string cancelAtInfo; // empty: never
    bool cancelled = false;
    int open = 0;
};

class RecordingBox final : public IProgressBox
{
public:
    explicit RecordingBox(BoxLog& log) : m_log(log)
    {
        ++m_log.open;
        m_log.cancelled = false;
    }
    ~RecordingBox() override { --m_log.open; }
    bool Show(ProgressKind kind, std::optional<std::string> caption, std::optional<std::string> info,
              std::optional<std::string> info2, std::optional<std::string> button) override
    {
        m_log.events.push_back("Show " + std::to_string(static_cast<int>(kind)) + " [" +
                               caption.value_or("-") + "] [" + info.value_or("-") + "] [" +
                               info2.value_or("-") + "] [" + button.value_or("-") + "]");
        return true;
    }
    void SetRange(int range) override { m_log.events.push_back("Range " + std::to_string(range)); }
    void Step() override { ++steps; }
    bool CheckCancel() override
    {
        m_log.cancelled = m_log.cancelled || ++m_log.checks == m_log.cancelAtCheck;
        return m_log.cancelled;
    }
    void SetCaption(const std::string& text) override { m_log.events.push_back("Caption " + text); }
    void SetInfoText(const std::string& text) override
    {
        m_log.events.push_back("Info " + text);
        m_log.cancelled = m_log.cancelled ||
                          (!m_log.cancelAtInfo.empty() && text.find(m_log.cancelAtInfo) != std::string::npos);
    }
    void SetInfoText2(const std::string& text) override { m_log.events.push_back("Info2 " + text); }
    void Close() override { m_log.events.push_back("Close"); }
    int steps = 0;

private:
    BoxLog& m_log;
};

class RecordingBoxes final : public IProgressBoxFactory
{
public:
    BoxLog log;
    std::unique_ptr<IProgressBox> CreateProgressBox() override { return std::make_unique<RecordingBox>(log); }
};

// The whole set-up: a projected gateway, the simulated one with the same identity, the connection.
struct Rig
{
    TestClock clock;
    std::shared_ptr<GatewaySimulator> gateway;
    ComPtr<Device> device = MakeComObject<Device>();
    ComPtr<HostWindow> top = MakeComObject<HostWindow>();
    ComPtr<HostWindow> window = MakeComObject<HostWindow>();
    std::vector<ComPtr<TappedConnection>> connections; // every one the host handed out
    std::function<void(TappedConnection&)> prepare;    // applied to each new one
    ScriptedPrompt prompt;
    RecordingBoxes boxes;
    std::unique_ptr<CEtsDbManagement> model;
    std::unique_ptr<CEtsLifeDeviceConnection> connection;

    explicit Rig(const std::vector<ControlGear>& gear = {}, SimulatorTiming timing = {})
        : gateway(std::make_shared<GatewaySimulator>(clock, GatewayIdentity{}, timing))
    {
        for (const auto& g : gear)
            gateway->AddGear(g);
        device->project->manufacturers->items.push_back(MakeComObject<Manufacturer>(0x00A7, "Veltrona GmbH"));
        device->inner->AddInteger(747, 0, 0, 0, 1);
        for (auto [number, text] :
             {std::pair{960, "Writing gear numbers"}, std::pair{961, "Assigning gear numbers"},
              std::pair{906, "Writing group assignments"}, std::pair{915, "Deleting group assignments"},
              std::pair{962, "Resetting all gear"}})
            device->inner->AddText(number, text);
        window->parent = top;
        top->connect = [this] {
            connections.push_back(MakeComObject<TappedConnection>(gateway));
            if (prepare)
                prepare(*connections.back());
            return ComPtr<IEtsLifeDeviceConnection>(connections.back().Get());
        };
        model = std::make_unique<CEtsDbManagement>(device.Get(), &prompt);
        model->LoadDeviceParameterPointers();
        model->InitLightnessValueLists();
        model->LoadBufferedParameters();
        connection = std::make_unique<CEtsLifeDeviceConnection>(*model, device.Get(), window.Get(), clock,
                                                                &prompt, &boxes);
    }

    TappedConnection& Host() { return *connections.back(); }
    // Verified and ready for the procedures.
    bool Connect()
    {
        const bool ok = connection->CreateLifeDeviceConnection(false) == DeviceConnectionOk;
        gateway->ResetStats();
        return ok;
    }
    std::vector<std::string> BoxTexts() const
    {
        std::vector<std::string> texts;
        for (const auto& b : prompt.boxes)
            texts.push_back(b.text);
        return texts;
    }
};

// Gear with distinct random addresses, not yet numbered, of mixed types.
inline std::vector<ControlGear> MakeLine(int count)
{
    std::vector<ControlGear> line;
    for (int i = 0; i < count; ++i) {
        ControlGear g;
        g.randomAddress = 0x100000u + static_cast<std::uint32_t>(i) * 0x2345u + 7u;
        g.deviceType =
            i % 5 == 0 ? kDeviceTypeEmergency : (i % 3 == 0 ? kDeviceTypeFluorescent : kDeviceTypeLed);
        line.push_back(g);
    }
    return line;
}

} // namespace devicefixture
