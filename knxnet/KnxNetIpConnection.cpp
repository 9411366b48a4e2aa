#include "knxnet/KnxNetIpConnection.h"

#include "knxnet/UdpTransport.h"
#include "trace/DebugTrace.h"

namespace knx {
namespace {
// How often the background service looks at the socket: well inside the interface's 1 s
// acknowledgement timeout.
constexpr auto kServicePeriod = std::chrono::milliseconds(100);

class DeviceInfo final : public ComObject<IEtsDeviceInfo>
{
public:
    explicit DeviceInfo(std::uint16_t maskVersion) : m_maskVersion(maskVersion) {}
    HRESULT get_MaskVersion(std::uint16_t* maskVersion) override
    {
        if (!maskVersion)
            return E_POINTER;
        *maskVersion = m_maskVersion;
        return S_OK;
    }

private:
    std::uint16_t m_maskVersion;
};
} // namespace

KnxNetIpConnection::KnxNetIpConnection(KnxNetIpSettings settings, std::shared_ptr<IDatagramTransport> network)
    : m_settings(settings), m_network(std::move(network))
{}

KnxNetIpConnection::~KnxNetIpConnection()
{
    if (m_service.joinable()) {
        m_service.request_stop();
        m_wake.notify_all();
        m_service.join();
    }
    std::lock_guard lock(m_mutex);
    CloseLocked();
}

HRESULT KnxNetIpConnection::Failed(HRESULT hr, const std::string& what)
{
    m_lastError = what;
    TRACE_HR_MSG(TRACE_ERROR, hr, "KNXnet/IP %s: %s", m_settings.server.ToString().c_str(), what.c_str());
    return hr;
}

HRESULT KnxNetIpConnection::Open()
{
    std::unique_lock lock(m_mutex);
    CloseLocked();
    if (!m_network) {
        auto udp = std::make_shared<UdpTransport>();
        std::string error;
        if (!udp->Open(Endpoint{}, &error))
            return Failed(ETS_E_DEVICE_NOT_FOUND, error);
        m_network = udp;
    }
    m_tunnel = std::make_unique<TunnelClient>(*m_network, m_settings.server, m_settings.tunnel);
    if (!m_tunnel->Connect())
        return Failed(ETS_E_DEVICE_NOT_FOUND, m_tunnel->LastError());
    m_device = std::make_unique<DeviceManagement>(*m_tunnel, m_settings.device, m_settings.transport);
    HRESULT hr = m_device->Connect();
    if (FAILED(hr)) {
        std::string why = m_device->LastError();
        CloseLocked();
        return Failed(hr, why);
    }
    m_open = true;
    TRACE_MSG(TRACE_INFO, "KNXnet/IP %s: tunnel %s, device %s", m_settings.server.ToString().c_str(),
              m_tunnel->Address().ToString().c_str(), m_settings.device.ToString().c_str());
    if (m_settings.serviceInBackground && !m_service.joinable())
        m_service = std::jthread([this](std::stop_token stop) { ServiceLoop(stop); });
    return S_OK;
}

void KnxNetIpConnection::CloseLocked()
{
    if (m_device)
        m_device->Disconnect();
    if (m_tunnel)
        m_tunnel->Disconnect();
    m_device.reset();
    m_tunnel.reset();
    m_open = false;
}

HRESULT KnxNetIpConnection::Close()
{
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return S_FALSE;
    CloseLocked();
    return S_OK;
}

bool KnxNetIpConnection::IsOpen()
{
    std::lock_guard lock(m_mutex);
    return m_open;
}

std::string KnxNetIpConnection::LastError()
{
    std::lock_guard lock(m_mutex);
    return m_lastError;
}

HRESULT KnxNetIpConnection::get_DeviceInfo(IEtsDeviceInfo** info)
{
    if (!info)
        return E_POINTER;
    *info = nullptr;
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return kNotOpen;
    std::uint16_t maskVersion = 0;
    HRESULT hr = m_device->ReadDeviceDescriptor(&maskVersion);
    if (FAILED(hr))
        return Failed(hr, m_device->LastError());
    ComPtr<IEtsDeviceInfo> created = MakeComObject<DeviceInfo>(maskVersion);
    return created.CopyTo(info);
}

HRESULT KnxNetIpConnection::ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                         std::int32_t /*propertyType*/, std::uint16_t startIndex,
                                         std::uint16_t count, std::uint32_t size, std::uint8_t* buffer)
{
    if (!buffer)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return kNotOpen;
    HRESULT hr = m_device->ReadProperty(objectIndex, propertyId, startIndex, count, std::span(buffer, size));
    return FAILED(hr) ? Failed(hr, m_device->LastError()) : hr;
}

HRESULT KnxNetIpConnection::WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                          std::int32_t /*propertyType*/, std::uint16_t startIndex,
                                          std::uint16_t count, std::uint32_t size, const std::uint8_t* buffer,
                                          std::int16_t verify)
{
    if (!buffer)
        return E_POINTER;
    std::lock_guard lock(m_mutex);
    if (!m_open)
        return kNotOpen;
    HRESULT hr = m_device->WriteProperty(objectIndex, propertyId, startIndex, count, std::span(buffer, size),
                                         verify != 0);
    return FAILED(hr) ? Failed(hr, m_device->LastError()) : hr;
}

void KnxNetIpConnection::Service()
{
    std::lock_guard lock(m_mutex);
    if (m_tunnel && m_open)
        m_tunnel->Service();
}

void KnxNetIpConnection::ServiceLoop(std::stop_token stop)
{
    std::unique_lock lock(m_mutex);
    while (!stop.stop_requested()) {
        m_wake.wait_for(lock, stop, kServicePeriod, [] { return false; });
        if (m_tunnel && m_open)
            m_tunnel->Service();
    }
}

} // namespace knx
