#include "host/program/SimulatedGateway.h"

#include "host/catalogue/Catalogue.h"
#include "simulator/DemoLine.h"
#include "simulator/SimulatedConnection.h"

CSimulatedGatewayProvider::CSimulatedGatewayProvider(Clock& clock, const Catalogue& catalogue,
                                                     const std::string& faults, std::string* error)
{
    const ApplicationIdentity& app = catalogue.Application();
    GatewayIdentity identity;
    identity.maskVersion = static_cast<std::uint16_t>(app.maskVersion);
    identity.manufacturer = static_cast<std::uint16_t>(app.manufacturerNumber);
    identity.applicationNumber = static_cast<std::uint16_t>(app.applicationNumber);
    identity.applicationVersion = static_cast<std::uint8_t>(app.applicationVersion);
    m_gateway = MakeDemoGateway(clock, identity);
    if (!faults.empty())
        InjectFaults(*m_gateway, faults, error);
}

HRESULT CSimulatedGatewayProvider::GetConnection(IEtsDevice*, ComPtr<IEtsLifeDeviceConnection>& connection)
{
    connection = MakeComObject<SimulatedConnection>(m_gateway);
    return S_OK;
}

void CSimulatedGatewayProvider::DownloadProjectIdentity(IEtsDevice* device)
{
    ComPtr<IEtsCollection<IEtsDeviceParameter>> parameters;
    if (!device || FAILED(device->get_Parameters(parameters.GetAddressOf())))
        return;
    std::uint16_t ids[3]{};
    for (int i = 0; i < 3; ++i) {
        ComPtr<IEtsDeviceParameter> parameter;
        Variant value;
        if (SUCCEEDED(parameters->Item(Variant::String("$(UniqueNumber)=" + std::to_string(721 + i)),
                                       parameter.GetAddressOf())) &&
            SUCCEEDED(parameter->get_Value(&value)))
            ids[i] = static_cast<std::uint16_t>(value.IntPart());
    }
    m_gateway->SetProjectId(ids[0], ids[1], ids[2]);
}
