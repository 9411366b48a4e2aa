// The hook through which a gateway (the in-process simulator, later a KNXnet/IP tunnel) offers the
// host its live connection to a device; the host window hands it out as "GetLifeDeviceConnection".
#pragma once

#include "hostapi/EtsServices.h"

class LiveConnectionProvider
{
public:
    virtual ~LiveConnectionProvider() = default;
    // A connection to the device, not opened yet; a failure code when the device cannot be reached.
    virtual HRESULT GetConnection(IEtsDevice* device, ComPtr<IEtsLifeDeviceConnection>& connection) = 0;
};
