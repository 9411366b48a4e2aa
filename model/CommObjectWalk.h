// Walks the communication objects of a device, as every object operation of the model does.
#pragma once

#include "hostapi/EtsHost.h"

enum class ObjectItemFailure
{
    EndsWalk,
    SkipsObject,
};

// Calls visit(object) for each object (the visible ones only when asked). Returns the failure that
// ended the walk early: a missing list, its count, or (with EndsWalk) an item; S_OK otherwise.
template <class Visit>
HRESULT ForEachCommObject(IEtsDevice* device, bool visibleOnly, ObjectItemFailure onItemFailure, Visit visit)
{
    ComPtr<IEtsCollection<IEtsCommObject>> objects;
    std::int32_t count = 0;
    HRESULT hr = device ? device->get_CommObjects(visibleOnly ? 1 : 0, objects.GetAddressOf()) : E_POINTER;
    if (SUCCEEDED(hr) && !objects)
        hr = E_POINTER;
    if (SUCCEEDED(hr))
        hr = objects->get_Count(&count);
    if (FAILED(hr))
        return hr;
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsCommObject> object;
        hr = objects->Item(Variant::I4(i), object.GetAddressOf());
        if (FAILED(hr) || !object) {
            if (onItemFailure == ObjectItemFailure::EndsWalk)
                return FAILED(hr) ? hr : E_POINTER;
            continue;
        }
        visit(object.Get());
    }
    return S_OK;
}
