// The demo project's gateway: a dozen gear of mixed types with fixed random addresses, not yet
// addressed, as a fresh installation presents itself to the first search.
#pragma once

#include "simulator/GatewaySimulator.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

std::vector<ControlGear> DemoGear();
std::shared_ptr<GatewaySimulator> MakeDemoGateway(Clock& clock, const GatewayIdentity& identity = {},
                                                  const SimulatorTiming& timing = {});

// Switches the faults of a comma-separated list such as "gear-silent=3,stays-busy" (for a demo started
// with faults from its command line or environment). Stops at the first entry it does not know,
// names it in error and returns false; the entries before it stay switched.
bool InjectFaults(GatewaySimulator& gateway, std::string_view list, std::string* error = nullptr);
