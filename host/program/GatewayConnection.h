// Which gateway the host's live connections reach: the simulated one (the default) or a real one
// through a KNXnet/IP interface; the choice is remembered per project in a file beside it.
#pragma once

#include "host/objects/LiveConnectionProvider.h"
#include "knxnet/KnxAddress.h"

#include <optional>
#include <string>

struct GatewayChoice
{
    enum class Kind
    {
        Simulator,
        KnxNetIp,
    };
    Kind kind = Kind::Simulator;
    knx::Endpoint interfaceEndpoint; // KnxNetIp only

    static GatewayChoice Simulator() { return {}; }
    static GatewayChoice Interface(const knx::Endpoint& endpoint) { return {Kind::KnxNetIp, endpoint}; }
    // "simulator", or "knxnet-ip ADDRESS[:PORT]"; nothing for any other text.
    static std::optional<GatewayChoice> Parse(const std::string& text);
    std::string ToText() const;
    // For the host window's status line: "simulated", "KNXnet/IP 192.168.1.10:3671".
    std::string Describe() const;
    bool operator==(const GatewayChoice&) const = default;
};

// The file beside the project that remembers its choice.
std::string GatewayChoicePath(const std::string& projectPath);
// The project's choice; the simulator when none was made. A file that cannot be read as a choice
// gives the simulator and a text in warning.
GatewayChoice LoadGatewayChoice(const std::string& projectPath, std::string* warning);
bool SaveGatewayChoice(const std::string& projectPath, const GatewayChoice& choice, std::string* error);

// Live connections through a KNXnet/IP interface to the device at the device's individual address.
class CKnxNetIpGatewayProvider final : public LiveConnectionProvider
{
public:
    explicit CKnxNetIpGatewayProvider(const knx::Endpoint& interfaceEndpoint) : m_interface(interfaceEndpoint)
    {}
    // E_INVALIDARG when the device has no individual address to reach it at.
    HRESULT GetConnection(IEtsDevice* device, ComPtr<IEtsLifeDeviceConnection>& connection) override;
    const knx::Endpoint& Interface() const { return m_interface; }

private:
    knx::Endpoint m_interface;
};
