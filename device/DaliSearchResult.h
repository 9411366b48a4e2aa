// Applying a search of the DALI line to the members: what the commissioning page writes into the
// model once a search has succeeded, and nothing after one that was cancelled or failed.
#pragma once

#include "device/EtsLifeDeviceConnection.h"

#include <vector>

struct CSearchApplication
{
    bool applied = false;            // false: the search did not succeed and nothing was written
    std::vector<int> changedMembers; // members whose random address or assigned state changed
    bool groupsChanged = false;      // one of them is in a group: the gateway's assignments are stale
};

// For every gear number n, member n takes the random address and the device type found at n, and
// stays assigned only when it was assigned, is in a group or is a single, and was found again at the
// random address it had. A search that did not succeed leaves every member as it was.
CSearchApplication ApplySearchResult(CEtsDbManagement& model, const CDaliSearchResult& result);
