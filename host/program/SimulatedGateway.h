// The gateway of a project as the host reaches it: a simulated gateway with its DALI line, offered to
// the plug-in through the host window's "GetLifeDeviceConnection".
#pragma once

#include "host/objects/LiveConnectionProvider.h"
#include "host/store/ProjectStore.h"
#include "simulator/GatewaySimulator.h"

#include <memory>

class Catalogue;

class CSimulatedGatewayProvider final : public LiveConnectionProvider
{
public:
    // The demo line's gateway with the identity of the catalogue's application; faults from the
    // comma-separated list (for example "gear-silent=3"), an empty list for none.
    CSimulatedGatewayProvider(Clock& clock, const Catalogue& catalogue, const std::string& faults,
                              std::string* error);

    HRESULT GetConnection(IEtsDevice* device, ComPtr<IEtsLifeDeviceConnection>& connection) override;
    // The gateway then holds the project identity the project holds: as after the host's download.
    void DownloadProjectIdentity(IEtsDevice* device);
    GatewaySimulator& Gateway() { return *m_gateway; }
    std::shared_ptr<GatewaySimulator> SharedGateway() const { return m_gateway; }

private:
    std::shared_ptr<GatewaySimulator> m_gateway;
};
