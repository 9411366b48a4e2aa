// The demo project's gateway: a dozen gear of mixed types with fixed random addresses, not yet
// addressed, as a fresh installation presents itself to the first search.
#pragma once

#include "simulator/GatewaySimulator.h"

#include <memory>
#include <vector>

std::vector<ControlGear> DemoGear();
std::shared_ptr<GatewaySimulator> MakeDemoGateway(Clock& clock, const GatewayIdentity& identity = {},
                                                  const SimulatorTiming& timing = {});
