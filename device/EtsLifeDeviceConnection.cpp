// Connection set-up and verification, texts and the error reports of the device connection.
#include "device/EtsLifeDeviceConnection.h"

#include "device/TextFormat.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

std::string ToLocalLineBreaks(std::string text)
{
    std::size_t at = 0;
    while ((at = text.find("\r\n", at)) != std::string::npos)
        text.erase(at, 1);
    return text;
}

// ---- progress box ---------------------------------------------------------------------------------

CEtsLifeDeviceConnection::CMyProgressBox::CMyProgressBox(CEtsLifeDeviceConnection& connection)
    : m_Connection(connection), m_pPrevious(connection.m_pProgressBox)
{
    if (connection.m_pBoxes)
        m_pBox = connection.m_pBoxes->CreateProgressBox();
    if (!m_pBox)
        m_pBox = std::make_unique<CNullProgressBox>();
    connection.m_pProgressBox = this;
}

CEtsLifeDeviceConnection::CMyProgressBox::~CMyProgressBox()
{
    m_pBox->Close();
    m_Connection.m_pProgressBox = m_pPrevious;
}

// ---- life cycle -----------------------------------------------------------------------------------

CEtsLifeDeviceConnection::CEtsLifeDeviceConnection(CEtsDbManagement& model, IEtsDevice* device,
                                                   IEtsHostWindow* hostWindow, Clock& clock,
                                                   IUserPrompt* prompt, IProgressBoxFactory* boxes)
    : m_Model(model), m_pDevice(device), m_pHostWindow(hostWindow), m_Clock(clock),
      m_pPrompt(prompt ? prompt : model.GetPrompt()), m_pBoxes(boxes)
{
    TRACE_ENTRY();
}

CEtsLifeDeviceConnection::~CEtsLifeDeviceConnection()
{
    TRACE_ENTRY();
    CloseConnection();
}

void CEtsLifeDeviceConnection::CloseConnection()
{
    if (!m_pConnection || !std::exchange(m_bOpen, false))
        return;
    if (HRESULT hr = OnBus([this] { return m_pConnection->Close(); }); FAILED(hr))
        TRACE_HR(TRACE_ERROR, hr);
}

HRESULT CEtsLifeDeviceConnection::OnBus(const std::function<HRESULT()>& call)
{
    if (!m_pBusWait)
        return call();
    // The bus wait lets the interface react; a call from there must not reach the connection while
    // the one before is still on the bus.
    if (m_bOnBus) {
        TRACE_MSG(TRACE_ERROR, "Connection busy");
        return E_FAIL;
    }
    m_bOnBus = true;
    const HRESULT hr = m_pBusWait->Run(call);
    m_bOnBus = false;
    return hr;
}

// ---- texts ----------------------------------------------------------------------------------------

std::string CEtsLifeDeviceConnection::Text(UniqueNr number, const char* defaultText) const
{
    return ToLocalLineBreaks(m_Model.GetParameterString(number, defaultText));
}

std::string CEtsLifeDeviceConnection::Description(UniqueNr number, const std::string& defaultText) const
{
    return m_Model.GetParameterText(number, defaultText);
}

std::string CEtsLifeDeviceConnection::CommissioningCaption() const
{
    return Description(705, m_Model.GetLabel(LabelCommissioning));
}

std::string CEtsLifeDeviceConnection::CancelText() const
{
    return m_Model.GetLabel(LabelCancel);
}

std::uint8_t CEtsLifeDeviceConnection::CompatibilityMode() const
{
    return m_Model.GetParameterLong(param::kCompatibilityMode, 0) != 0 ? 1 : 0;
}

bool CEtsLifeDeviceConnection::TimedOut(std::uint64_t start, std::uint64_t limit) const
{
    return m_Clock.NowMs() - start > limit;
}

// ---- verification ---------------------------------------------------------------------------------

bool CEtsLifeDeviceConnection::GetDeviceInfosFromEtsDb(std::uint16_t& maskVersion, std::int32_t& manufacturer,
                                                       std::uint16_t& application, std::uint8_t& version)
{
    TRACE_ENTRY();
    ComPtr<IEtsApplicationProgram> program;
    HRESULT hr = m_pDevice ? m_pDevice->get_ApplicationProgram(program.GetAddressOf()) : E_POINTER;
    if (SUCCEEDED(hr) && !program)
        hr = E_POINTER;
    std::int32_t value = 0;
    if (SUCCEEDED(hr) && SUCCEEDED(hr = program->get_MaskVersion(&value)))
        maskVersion = static_cast<std::uint16_t>(value);
    ComPtr<IEtsManufacturer> maker;
    if (SUCCEEDED(hr) && SUCCEEDED(hr = program->get_Manufacturer(maker.GetAddressOf())) && !maker)
        hr = E_POINTER;
    if (SUCCEEDED(hr))
        hr = maker->get_Number(&manufacturer);
    if (SUCCEEDED(hr) && SUCCEEDED(hr = program->get_Number(&value)))
        application = static_cast<std::uint16_t>(value);
    if (SUCCEEDED(hr) && SUCCEEDED(hr = program->get_Version(&value)))
        version = static_cast<std::uint8_t>(value);
    if (FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        return false;
    }
    return true;
}

std::string CEtsLifeDeviceConnection::GetManufacturerName(std::int32_t manufacturer)
{
    TRACE_ENTRY();
    ComPtr<IEtsProject> project;
    ComPtr<IEtsCollection<IEtsManufacturer>> makers;
    ComPtr<IEtsManufacturer> maker;
    std::string name;
    HRESULT hr = m_pDevice ? m_pDevice->get_Project(project.GetAddressOf()) : E_POINTER;
    if (SUCCEEDED(hr))
        hr = project ? project->get_Manufacturers(makers.GetAddressOf()) : E_POINTER;
    if (SUCCEEDED(hr))
        hr = makers
                 ? makers->Item(Variant::String(StrFormat("$(Number)=%ld", static_cast<long>(manufacturer))),
                                maker.GetAddressOf())
                 : E_POINTER;
    if (SUCCEEDED(hr))
        hr = maker ? maker->get_Name(&name) : E_POINTER;
    if (FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        return StrFormat("%ld", static_cast<long>(manufacturer));
    }
    return name;
}

std::string CEtsLifeDeviceConnection::GetDeviceInfoString(std::int32_t manufacturer,
                                                          std::uint16_t application, std::uint8_t version)
{
    return StrFormat("Hersteller: %s\nGerätetyp: $%04X\nProgrammversion: %d.%d\n",
                     GetManufacturerName(manufacturer).c_str(), application, version >> 4, version & 0x0F);
}

bool CEtsLifeDeviceConnection::ReadGatewayProjectId(std::uint16_t& id1, std::uint16_t& id2,
                                                    std::uint16_t& id3)
{
    TRACE_ENTRY();
    std::uint8_t data[6]{};
    if (!ReadDaliProp(protocol::PropD4, 1, 1, data))
        return false;
    id1 = static_cast<std::uint16_t>(data[0] << 8 | data[1]);
    id2 = static_cast<std::uint16_t>(data[2] << 8 | data[3]);
    id3 = static_cast<std::uint16_t>(data[4] << 8 | data[5]);
    return true;
}

HRESULT CEtsLifeDeviceConnection::ObtainConnection()
{
    if (!m_pHostWindow)
        return E_UNEXPECTED;
    // The host answers at its top-level window.
    ComPtr<IEtsHostWindow> window = m_pHostWindow;
    for (;;) {
        ComPtr<IEtsHostWindow> parent;
        if (window->get_Parent(parent.GetAddressOf()) != S_OK || !parent)
            break;
        window = parent;
    }
    EtsAppProc proc;
    if (FAILED(window->GetAppProc("GetLifeDeviceConnection", &proc)) || !proc)
        return E_UNEXPECTED;
    void* object = nullptr;
    HRESULT hr = proc(m_pDevice.Get(), 0, 1, -1, IEtsLifeDeviceConnection::iid, &object);
    m_pConnection.Attach(static_cast<IEtsLifeDeviceConnection*>(object));
    return hr;
}

EDeviceConnectionState CEtsLifeDeviceConnection::CreateLifeDeviceConnection(bool checkProjectId,
                                                                            IBusWait* busWait)
{
    TRACE_ENTRY();
    m_bReportErrors = false;
    m_pBusWait = busWait;
    // A connection held from before is closed first, so that the host's connection does not leak.
    CloseConnection();
    m_pConnection.Reset();
    DeviceInfo projected, found;
    const EDeviceConnectionState state = Verify(checkProjectId, projected, found);
    if (state != DeviceConnectionOk) {
        ComposeMessage(state, projected, found);
        // Closed once and let go: neither the next verification nor the destructor closes it again.
        CloseConnection();
        m_pConnection.Reset();
    }
    m_pBusWait = nullptr;
    m_bReportErrors = true;
    return state;
}

EDeviceConnectionState CEtsLifeDeviceConnection::Verify(bool checkProjectId, DeviceInfo& projected,
                                                        DeviceInfo& found)
{
    HRESULT hr = ObtainConnection();
    if (FAILED(hr) || !m_pConnection) {
        TRACE_HR(TRACE_ERROR, FAILED(hr) ? hr : E_POINTER);
        return NoConnection;
    }
    if (hr = OnBus([this] { return m_pConnection->Open(); }); FAILED(hr)) {
        if (hr == ETS_E_DEVICE_NOT_FOUND)
            TRACE_MSG(TRACE_ERROR, "Device not found");
        TRACE_HR(TRACE_ERROR, hr);
        return NoConnection;
    }
    m_bOpen = true;
    // A project that cannot be read is a failure like any other: message, closed connection.
    if (!GetDeviceInfosFromEtsDb(projected.maskVersion, projected.manufacturer, projected.application,
                                 projected.version))
        return NoConnection;
    TRACE_MSG(TRACE_INFO, "Projected: Manuf = %ld, App = $%04X.%02X",
              static_cast<long>(projected.manufacturer), projected.application, projected.version);

    hr = OnBus([&] {
        ComPtr<IEtsDeviceInfo> info;
        HRESULT result = m_pConnection->get_DeviceInfo(info.GetAddressOf());
        if (SUCCEEDED(result) && !info)
            result = E_POINTER;
        if (SUCCEEDED(result))
            result = info->get_MaskVersion(&found.maskVersion);
        return result;
    });
    if (FAILED(hr)) {
        TRACE_HR(TRACE_ERROR, hr);
        return NoConnection;
    }
    if (found.maskVersion != projected.maskVersion) {
        TRACE_MSG(TRACE_ERROR,
                  "DALI-Gateway not found. Wrong mask version: ETS-Device = 0x%04X  EIB-Device = 0x%04X",
                  projected.maskVersion, found.maskVersion);
        return NoConnection;
    }

    // The scan goes on to the first object that cannot be read, also once both are found.
    m_nApplicationObject = m_nDaliObject = kNoObject;
    for (int index = 0; index <= 254; ++index) {
        std::uint8_t type[2]{};
        if (!ReadProp(static_cast<std::uint8_t>(index), protocol::PID_OBJECT_TYPE, protocol::PDT_UNSIGNED_INT,
                      1, 1, sizeof type, type))
            break;
        const int objectType = type[0] << 8 | type[1];
        if (objectType == protocol::OT_APPLICATION_PROGRAM && m_nApplicationObject == kNoObject) {
            m_nApplicationObject = static_cast<std::uint8_t>(index);
            TRACE_MSG(TRACE_INFO, "OX_APPLICATION_PROGRAM = %d", index);
        } else if (objectType == protocol::OT_DALI && m_nDaliObject == kNoObject) {
            m_nDaliObject = static_cast<std::uint8_t>(index);
            TRACE_MSG(TRACE_INFO, "OX_DALI = %d", index);
        }
    }
    if (m_nApplicationObject == kNoObject) {
        TRACE_MSG(TRACE_ERROR, "OT_APPLICATION_PROGRAM not found");
        return NoConnection;
    }
    if (m_nDaliObject == kNoObject) {
        TRACE_MSG(TRACE_ERROR, "OT_DALI not found");
        return NoConnection;
    }

    std::uint8_t runState = 0;
    if (!ReadProp(m_nApplicationObject, protocol::PID_RUN_STATE, protocol::PDT_CONTROL, 1, 1, 1, &runState)) {
        TRACE_MSG(TRACE_ERROR, "Reading RUN_STATE failed");
        return NoConnection;
    }
    if (runState != 1) {
        TRACE_MSG(TRACE_ERROR, "Unexpected RUN_STATE %d <> %d", runState, 1);
        return DownloadNecessary;
    }

    std::uint8_t app[5]{};
    if (!ReadProp(m_nApplicationObject, protocol::PID_APP_INFO, protocol::PDT_GENERIC_05, 1, 1, sizeof app,
                  app)) {
        TRACE_MSG(TRACE_ERROR, "Reading APP_INFO failed");
        return NoConnection;
    }
    found.manufacturer = app[0] << 8 | app[1];
    found.application = static_cast<std::uint16_t>(app[2] << 8 | app[3]);
    found.version = app[4];
    TRACE_MSG(TRACE_INFO, "Found: Manuf = %ld, App = $%04X.%02X", static_cast<long>(found.manufacturer),
              found.application, found.version);
    const bool wrongApplication = found.application != projected.application;
    const bool wrongVersion = found.version != projected.version;
    const bool wrongManufacturer = found.manufacturer != projected.manufacturer;
    if (wrongApplication)
        TRACE_MSG(TRACE_ERROR, "Wrong application-id: ETS-Device = $%04X  EIB-Device = $%04X",
                  projected.application, found.application);
    if (wrongVersion)
        TRACE_MSG(TRACE_ERROR, "Wrong application-version: ETS-Device = $%02X  EIB-Device = $%02X",
                  projected.version, found.version);
    if (wrongManufacturer)
        TRACE_MSG(TRACE_ERROR, "Wrong manufacturer: ETS-Device = %ld  EIB-Device = %ld",
                  static_cast<long>(projected.manufacturer), static_cast<long>(found.manufacturer));
    if (wrongApplication || wrongManufacturer)
        return WrongDevice;
    if (wrongVersion)
        return WrongApplicationVersion;

    if (checkProjectId) {
        std::uint16_t id[3]{};
        ReadGatewayProjectId(id[0], id[1], id[2]);
        for (int i = 0; i < 3; ++i) {
            std::int32_t projectedId = 0;
            m_Model.GetParameterValue(param::kProjectIdRandom + i, projectedId);
            if (projectedId != id[i])
                return DaliNotUpToDate;
        }
    }
    return DeviceConnectionOk;
}

void CEtsLifeDeviceConnection::ComposeMessage(EDeviceConnectionState state, const DeviceInfo& projected,
                                              const DeviceInfo& found)
{
    switch (state) {
    case DeviceConnectionOk:
        return;
    case NoConnection:
        m_strLastMessage =
            StrFormat("%s\n\n1. %s\n2. %s\n3. %s\n", Text(929, "No connection to DALI gateway").c_str(),
                      Text(930, "").c_str(), Text(931, "").c_str(), Text(932, "").c_str());
        return;
    case WrongDevice:
        m_strLastMessage = StrFormat(
            "%s\n\n%s:\n%s\n\n%s:\n%s", Text(943, "Wrong device").c_str(),
            Text(944, "Projected device").c_str(),
            GetDeviceInfoString(projected.manufacturer, projected.application, projected.version).c_str(),
            Text(945, "Found device").c_str(),
            GetDeviceInfoString(found.manufacturer, found.application, found.version).c_str());
        return;
    case DaliNotUpToDate:
        m_strLastMessage = StrFormat("%s\n%s", Text(904, "DALI not up to date").c_str(),
                                     Text(905, "Download necessary").c_str());
        return;
    case DownloadNecessary:
        m_strLastMessage = Text(905, "Download necessary");
        return;
    case WrongApplicationVersion:
        m_strLastMessage =
            StrFormat("%s\n\n%s:\nProgrammversion: %d.%d\n\n%s:\nProgrammversion: %d.%d\n\n%s",
                      Text(943, "Wrong device").c_str(), Text(944, "Projected device").c_str(),
                      projected.version >> 4, projected.version & 0x0F, Text(945, "Found device").c_str(),
                      found.version >> 4, found.version & 0x0F, Text(905, "Download necessary").c_str());
        return;
    }
}

// ---- reports --------------------------------------------------------------------------------------

namespace {
constexpr const char* kBoxCaption = "Veltrona";
}

void CEtsLifeDeviceConnection::ReportConnectionError()
{
    TRACE_MSG(TRACE_INFO, "ReportConnectionError");
    if (m_pPrompt)
        m_pPrompt->Ask(kBoxCaption, Text(929, "No connection"), PromptButtons::Ok, PromptIcon::Error);
}

void CEtsLifeDeviceConnection::ReportError(const std::string& caption, const std::string& text, int memberNr)
{
    TRACE_MSG(TRACE_INFO, "ReportError");
    std::string message = StrFormat("%s:\n%s", caption.c_str(), text.c_str());
    if (memberNr != 0) {
        TRACE_MSG(TRACE_INFO, "EvgNr = %d", memberNr);
        message += StrFormat("\n(%s %d)", m_Model.GetLabel(LabelMember).c_str(), memberNr);
    }
    if (m_pPrompt)
        m_pPrompt->Ask(kBoxCaption, message, PromptButtons::Ok, PromptIcon::Error);
}

void CEtsLifeDeviceConnection::ReportInternalError(const std::string& caption, int memberNr)
{
    TRACE_MSG(TRACE_INFO, "ReportInternalError");
    ReportError(caption, Text(917, "Internal error"), memberNr);
}

void CEtsLifeDeviceConnection::ReportTimeoutError(const std::string& caption, int memberNr)
{
    TRACE_MSG(TRACE_INFO, "ReportTimeoutError");
    ReportError(caption, StrFormat("%s\n%s", Text(975, "Timeout").c_str(), Text(976, "").c_str()), memberNr);
}

void CEtsLifeDeviceConnection::ReportAssignmentError(const std::string& caption, int memberNr)
{
    TRACE_MSG(TRACE_INFO, "ReportAssignmentError");
    ReportError(caption, StrFormat("%s\n%s", Text(977, "Error").c_str(), Text(978, "").c_str()), memberNr);
}

void CEtsLifeDeviceConnection::ReportEvgError(const std::string& caption, const std::vector<int>& memberNrs)
{
    TRACE_MSG(TRACE_INFO, "ReportEvgError");
    std::string message = StrFormat("%s:\n%s\n%s\n%s\n%s", caption.c_str(), Text(971, "EVG error").c_str(),
                                    Text(972, "").c_str(), Text(973, "").c_str(), Text(974, "").c_str());
    if (!memberNrs.empty()) {
        message += "\n(" + m_Model.GetLabel(LabelMember);
        for (std::size_t i = 0; i < memberNrs.size(); ++i)
            message += (i == 0 ? " " : ", ") + std::to_string(memberNrs[i]);
        message += ")";
    }
    if (m_pPrompt)
        m_pPrompt->Ask(kBoxCaption, message, PromptButtons::Ok, PromptIcon::Error);
}
