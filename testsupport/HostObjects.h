// Walks over a device's host objects that many tests make, and the number of a group address.
#pragma once

#include "hostapi/EtsDevice.h"
#include "hostapi/EtsObjects.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace testsupport {

// The numbers of the device's visible communication objects, ascending.
inline std::vector<std::uint16_t> VisibleObjects(IEtsDevice* device)
{
    ComPtr<IEtsCollection<IEtsCommObject>> objects;
    std::vector<std::uint16_t> numbers;
    if (FAILED(device->get_CommObjects(1, objects.GetAddressOf())) || !objects)
        return numbers;
    std::int32_t count = 0;
    objects->get_Count(&count);
    for (std::int32_t i = 1; i <= count; ++i) {
        ComPtr<IEtsCommObject> object;
        std::uint16_t n = 0;
        if (SUCCEEDED(objects->Item(Variant::I4(i), object.GetAddressOf())) &&
            SUCCEEDED(object->get_Number(&n)))
            numbers.push_back(n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// The number of group address main/middle/sub in three levels.
constexpr std::int32_t GroupAddressNumber(int main, int middle, int sub)
{
    return main * 2048 + middle * 256 + sub;
}

} // namespace testsupport
