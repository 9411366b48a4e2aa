// The plug-in object the host creates: takes the host's objects and runs one editing session per call.
#pragma once

#include "hostapi/EtsHost.h"

#include <atomic>
#include <vector>

inline constexpr CLSID CLSID_UIPluginVeltrona{
    0xA1541E69, 0x056B, 0x4B4C, {0x8C, 0x6D, 0xD2, 0x46, 0x5B, 0x3F, 0xBB, 0xE6}};
inline constexpr GUID LIBID_VELTRONALib{
    0x844267BC, 0x372F, 0x42AD, {0x84, 0xA9, 0x33, 0x0D, 0xB4, 0x82, 0xEA, 0x90}};

// Module-wide lock count: objects and class factory locks keep the library loaded.
namespace VeltronaModule {
void Lock();
void Unlock();
long LockCount();
} // namespace VeltronaModule

// Reference counting is the single-threaded model of the host's UI thread; the object may be aggregated,
// in which case its IUnknown calls go to the outer object.
class CUIPluginVeltrona final : public IDeviceParameterDialog, public ISupportErrorInfo
{
public:
    // Creates an object; with an outer object only IUnknown may be asked for.
    static HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object);

    HRESULT QueryInterface(const IID& riid, void** object) override
    {
        return m_outer->QueryInterface(riid, object);
    }
    std::uint32_t AddRef() override { return m_outer->AddRef(); }
    std::uint32_t Release() override { return m_outer->Release(); }

    HRESULT SetHostObjects(std::uint32_t count, IUnknown** objects) override;
    HRESULT ShowModal(IEtsHostWindow* parent) override;
    HRESULT InterfaceSupportsErrorInfo(const IID& riid) override;

    std::uint32_t HostObjectCount() const { return static_cast<std::uint32_t>(m_objects.size()); }

private:
    // The object's own IUnknown, the one an outer object holds.
    struct Inner final : IUnknown
    {
        explicit Inner(CUIPluginVeltrona& self) : m_self(self) {}
        HRESULT QueryInterface(const IID& riid, void** object) override;
        std::uint32_t AddRef() override { return ++m_self.m_refs; }
        std::uint32_t Release() override;
        CUIPluginVeltrona& m_self;
    };

    explicit CUIPluginVeltrona(IUnknown* outer);
    ~CUIPluginVeltrona() override;
    void ReleaseHostObjects();

    Inner m_inner{*this};
    IUnknown* m_outer;
    std::uint32_t m_refs = 0;
    std::vector<IUnknown*> m_objects; // one reference held on each
};
