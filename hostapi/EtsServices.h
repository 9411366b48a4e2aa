// Host services created by class identifier, the live connection to the device and the host window.
#pragma once

#include "hostapi/EtsDevice.h"

#include <functional>
#include <string>

// Formats values for display; the type name "eteC.GroupAddress" gives the project's notation.
struct IEtsValueFormatter : IUnknown
{
    static constexpr IID iid{0xD84EFC7E, 0xB1A9, 0x4AE7, {0xBA, 0xAA, 0xF4, 0x58, 0x3E, 0x91, 0xEE, 0xE3}};
    virtual HRESULT Format(const Variant& value, const std::string& typeName, std::int32_t flags,
                           std::string* text) = 0;
};
inline constexpr CLSID CLSID_EtsValueFormatter{
    0x0A1CD2D8, 0xD9B6, 0x4A96, {0xA5, 0x4B, 0x76, 0xE8, 0x81, 0x4B, 0xB0, 0xE6}};

struct IEtsLanguageService : IUnknown
{
    static constexpr IID iid{0xB3A7E8DB, 0x1430, 0x4B82, {0x84, 0xA1, 0x2C, 0xA4, 0xC5, 0xFB, 0x57, 0x06}};
    // The user interface language as a Windows language id (1033 English, 1031 German).
    virtual HRESULT get_CurrentLanguageId(std::int32_t* languageId) = 0;
};
inline constexpr CLSID CLSID_EtsLanguageService{
    0x5BE7A55B, 0xFF55, 0x413F, {0x95, 0x6C, 0xCD, 0x4B, 0x1B, 0x28, 0xCA, 0xCE}};

struct IEtsDeviceInfo : IUnknown
{
    static constexpr IID iid{0x66600B41, 0x22CB, 0x4846, {0xAE, 0xD1, 0x25, 0x2B, 0x2F, 0xB3, 0xD0, 0xC7}};
    virtual HRESULT get_MaskVersion(std::uint16_t* maskVersion) = 0;
};

// The host's connection to the device on the bus: interface object properties.
struct IEtsLifeDeviceConnection : IUnknown
{
    static constexpr IID iid{0x6C4E4854, 0x25DB, 0x46A7, {0x99, 0xD5, 0x7F, 0xEC, 0x6B, 0x6B, 0x21, 0x2E}};
    virtual HRESULT Open() = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT get_DeviceInfo(IEtsDeviceInfo** info) = 0;
    virtual HRESULT ReadProperty(std::uint8_t objectIndex, std::uint8_t propertyId, std::int32_t propertyType,
                                 std::uint16_t startIndex, std::uint16_t count, std::uint32_t size,
                                 std::uint8_t* buffer) = 0;
    // ETS_E_VERIFY_FAILED when verify is set and the value read back differs.
    virtual HRESULT WriteProperty(std::uint8_t objectIndex, std::uint8_t propertyId,
                                  std::int32_t propertyType, std::uint16_t startIndex, std::uint16_t count,
                                  std::uint32_t size, const std::uint8_t* buffer, std::int16_t verify) = 0;
};

// A host function handed out by name through the host window ("GetLifeDeviceConnection" takes the
// device, the fixed arguments 0, 1 and -1, an interface id and the place for the connection).
using EtsAppProc = std::function<HRESULT(IEtsDevice* device, std::int32_t a, std::int32_t b, std::int32_t c,
                                         const IID& riid, void** object)>;

struct IEtsHostWindow : IUnknown
{
    static constexpr IID iid{0x37C984DF, 0x3F5B, 0x4051, {0xAC, 0x4A, 0xD6, 0x00, 0x52, 0xD1, 0xCB, 0x1F}};
    // The window above this one (its parent, or the owner of a top-level window); S_FALSE at the top.
    virtual HRESULT get_Parent(IEtsHostWindow** parent) = 0;
    // The host's answer to the registered message "ETS3:GETAPPPROC" with the function's name;
    // S_FALSE and an empty function when the host has none of that name.
    virtual HRESULT GetAppProc(const std::string& name, EtsAppProc* proc) = 0;
    // The native window to parent dialogs on (a QWidget address in this host), 0 when none.
    virtual HRESULT get_NativeHandle(std::uintptr_t* handle) = 0;
};

// The host's plug-in interface: the host hands the device's objects over and runs a modal session.
struct IDeviceParameterDialog : IUnknown
{
    static constexpr IID iid{0x9E81CEC9, 0xB33D, 0x4E4D, {0xB0, 0x35, 0xB1, 0xA2, 0x61, 0x12, 0xA5, 0x3C}};
    virtual HRESULT SetHostObjects(std::uint32_t count, IUnknown** objects) = 0;
    // S_OK after OK, E_ABORT after Cancel, E_FAIL for any other end.
    virtual HRESULT ShowModal(IEtsHostWindow* parent) = 0;
};
