// The model's buffered tables in one comparable text, for tests that reload and compare.
#pragma once

#include "model/EtsDbManagement.h"

#include <sstream>
#include <string>

namespace modeltest {

// The buffered tables in one comparable text.
inline std::string Tables(const CEtsDbManagement& m)
{
    std::ostringstream out;
    for (int g = 1; g <= 32; ++g)
        out << "G" << g << ":" << m.GetGroup(g).name << "," << m.GetGroup(g).exists << ";";
    for (int i = 1; i <= 64; ++i) {
        const MemberRecord& r = m.GetMember(i);
        out << "M" << i << ":" << r.name << "," << r.randomNr << "," << r.groupMask << "," << r.single << ","
            << r.assigned << "," << int{r.type} << "," << int{r.foundType} << ";";
    }
    for (int s = 1; s <= 16; ++s) {
        const SceneRecord& r = m.GetScene(s);
        out << "S" << s << ":" << r.name << "," << r.masks[0] << "," << r.masks[1] << "," << r.masks[2] << ","
            << int{r.knxScene} << ";";
    }
    for (int e = 1; e <= 16; ++e) {
        out << "E" << e << ":" << m.GetEffect(e).name << "," << int{m.GetEffect(e).knxEffect};
        for (const EffectStepMap& step : m.GetEffect(e).steps) {
            out << "[";
            for (auto [k, v] : step)
                out << int{k} << "=" << int{v} << " ";
            out << "]";
        }
        out << ";";
    }
    out << "V" << m.GetEffectValueCount();
    return out.str();
}

} // namespace modeltest
