// Process-wide table of creatable classes: components register a class factory under their class
// identifier, callers create objects by identifier (the stand-in for the system's component creation).
#pragma once

#include "platform/Unknown.h"

// Registers (or replaces) the factory for a class identifier; a null factory removes it.
void RegisterClassObject(const CLSID& clsid, IClassFactory* factory);
void RevokeClassObject(const CLSID& clsid);

// REGDB_E_CLASSNOTREG when nothing is registered under the identifier.
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& riid, void** object);

template <class T> HRESULT CoCreateInstance(const CLSID& clsid, ComPtr<T>& out)
{
    return CoCreateInstance(clsid, nullptr, IidOf<T>(), OutPtr(out));
}
