// The parts the benchmarks' full configurations share.
#pragma once

#include "model/EtsDbManagement.h"

#include <cstdint>

namespace bench {

// Every scene, each with every group at a value of its own.
inline void AddEveryScene(CEtsDbManagement& model)
{
    for (int s = 1; s <= kSceneCount; ++s) {
        model.CreateScene(s);
        for (int g = 1; g <= kGroupCount; ++g)
            model.AddGroupToScene(s, g, static_cast<std::uint16_t>(0x100 | (g + s)));
    }
}

// Every effect, each with the given number of steps.
inline void AddEveryEffect(CEtsDbManagement& model, int steps)
{
    for (int e = 1; e <= kEffectCount; ++e) {
        model.CreateEffect(e);
        for (int k = 0; k < steps; ++k)
            model.CreateEffectStep(e, k);
    }
}

} // namespace bench
