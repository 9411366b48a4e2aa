// Finds a plug-in library by its ProgID in the registry, loads it and creates its dialog object.
#pragma once

#include "hostapi/EtsHost.h"

#include <string>

class PluginLoader
{
public:
    ~PluginLoader();
    // Looks the ProgID up (following CurVer), loads the library and asks it for its class factory.
    // When the ProgID is not registered and a fallback library is given, that library registers
    // itself first. False and why on failure.
    bool Load(const std::string& progId, const std::string& fallbackLibrary, std::string* error);
    HRESULT CreateDialog(ComPtr<IDeviceParameterDialog>& dialog);
    const std::string& LibraryPath() const { return m_path; }

private:
    void* m_library = nullptr;
    std::string m_path;
    CLSID m_clsid{};
    ComPtr<IClassFactory> m_factory;
};
