#include "host/program/GatewayConnection.h"

#include "knxnet/KnxNetIpConnection.h"

#include <fstream>
#include <sstream>

namespace {
constexpr const char* kSimulator = "simulator";
constexpr const char* kKnxNetIp = "knxnet-ip";

std::string Trimmed(const std::string& text)
{
    const auto begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}
} // namespace

std::optional<GatewayChoice> GatewayChoice::Parse(const std::string& text)
{
    const std::string t = Trimmed(text);
    if (t == kSimulator)
        return Simulator();
    std::istringstream words(t);
    std::string kind, address, rest;
    words >> kind >> address >> rest;
    if (kind != kKnxNetIp || address.empty() || !rest.empty())
        return std::nullopt;
    auto endpoint = knx::Endpoint::Parse(address);
    if (!endpoint)
        return std::nullopt;
    return Interface(*endpoint);
}

std::string GatewayChoice::ToText() const
{
    return kind == Kind::Simulator ? kSimulator : std::string(kKnxNetIp) + " " + interfaceEndpoint.ToString();
}

std::string GatewayChoice::Describe() const
{
    return kind == Kind::Simulator ? "simulated" : "KNXnet/IP " + interfaceEndpoint.ToString();
}

std::string GatewayChoicePath(const std::string& projectPath)
{
    return projectPath + ".gateway";
}

GatewayChoice LoadGatewayChoice(const std::string& projectPath, std::string* warning)
{
    std::ifstream in(GatewayChoicePath(projectPath));
    if (!in)
        return GatewayChoice::Simulator();
    std::string line;
    std::getline(in, line);
    auto choice = GatewayChoice::Parse(line);
    if (!choice) {
        if (warning)
            *warning = GatewayChoicePath(projectPath) + " names no gateway (\"" + Trimmed(line) +
                       "\"); the simulated gateway is used";
        return GatewayChoice::Simulator();
    }
    return *choice;
}

bool SaveGatewayChoice(const std::string& projectPath, const GatewayChoice& choice, std::string* error)
{
    std::ofstream out(GatewayChoicePath(projectPath), std::ios::trunc);
    out << choice.ToText() << "\n";
    out.close();
    if (!out) {
        if (error)
            *error = "cannot write " + GatewayChoicePath(projectPath);
        return false;
    }
    return true;
}

HRESULT CKnxNetIpGatewayProvider::GetConnection(IEtsDevice* device,
                                                ComPtr<IEtsLifeDeviceConnection>& connection)
{
    if (!device)
        return E_POINTER;
    std::string text;
    HRESULT hr = device->get_IndividualAddress(&text);
    if (FAILED(hr))
        return hr;
    auto address = knx::IndividualAddress::Parse(text);
    if (!address)
        return E_INVALIDARG;
    knx::KnxNetIpSettings settings;
    settings.server = m_interface;
    settings.device = *address;
    connection = MakeComObject<knx::KnxNetIpConnection>(settings);
    return S_OK;
}
