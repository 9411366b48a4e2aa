// Every host interface the plug-in uses, in one include.
#pragma once

#include "plugin/host/EtsServices.h"
