#include "access/EtsAccess.h"
