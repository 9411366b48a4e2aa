// The demo project's configuration: a small office floor, made through the configuration model as
// an installer would make it, so that the demo shows groups, devices and scenes from the start.
#pragma once

#include "host/objects/HostSession.h"

// Configures the gateway of a freshly created demo project and saves it; false and why on failure.
bool ConfigureDemo(HostSession& session, std::string* error);
