// Host interfaces of the edited device and its application program.
#pragma once

#include "hostapi/EtsObjects.h"

#include <string>

struct IEtsApplicationProgram : IUnknown
{
    static constexpr IID iid{0x02EF422F, 0xA5F3, 0x49C9, {0xA9, 0xA2, 0xFD, 0xE7, 0xFE, 0x54, 0xB7, 0x11}};
    virtual HRESULT get_Number(std::int32_t* number) = 0;
    virtual HRESULT get_Version(std::int32_t* version) = 0;
    virtual HRESULT get_MaskVersion(std::int32_t* maskVersion) = 0;
    virtual HRESULT get_Manufacturer(IEtsManufacturer** manufacturer) = 0;
};

struct IEtsDevice : IUnknown
{
    static constexpr IID iid{0x22D4F7DD, 0x0946, 0x4B28, {0xBB, 0xEF, 0x3E, 0x66, 0x84, 0x95, 0xE5, 0x45}};
    virtual HRESULT get_Parameters(IEtsCollection<IEtsDeviceParameter>** parameters) = 0;
    // All objects, or the visible ones only; queried with "$(UniqueNumber)=n".
    virtual HRESULT get_CommObjects(std::int16_t visibleOnly, IEtsCollection<IEtsCommObject>** objects) = 0;
    virtual HRESULT get_IndividualAddress(std::string* address) = 0;
    virtual HRESULT get_Name(std::string* name) = 0;
    virtual HRESULT get_Description(std::string* description) = 0;
    // S_FALSE and null when the device belongs to no project.
    virtual HRESULT get_Project(IEtsProject** project) = 0;
    virtual HRESULT get_ApplicationProgram(IEtsApplicationProgram** program) = 0;
};
