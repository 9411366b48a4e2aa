// Every host interface the plug-in uses, in one include.
#pragma once

#include "hostapi/EtsServices.h"
