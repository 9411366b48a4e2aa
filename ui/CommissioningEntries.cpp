#include "ui/CommissioningEntries.h"

#include "model/EtsDbManagement.h"
#include "trace/DebugTrace.h"

#include <algorithm>
#include <utility>

void CCommissioningEntries::Load()
{
    TRACE_ENTRY();
    for (int m = 1; m <= kCount; ++m) {
        EvgEntry& e = (*this)[m];
        e = EvgEntry{};
        e.name = m_model.GetMemberName(m);
        e.groups = m_model.GetMemberGroupAssignment(m);
        e.single = m_model.SingleExists(m);
        e.assigned = m_model.IsMemberAssigned(m);
        e.randomAddress = m_model.GetMemberRandomNr(m);
        e.projectedType = m_model.GetMemberType(m);
        e.foundType = m_model.GetMemberFoundType(m);
        e.gatewayNr = m;
    }
    // Free gear first, then the assigned ones.
    int next = 1;
    for (EvgEntry& e : m_entries)
        if (e.randomAddress != 0 && !e.assigned)
            e.displayNr = next++;
    NumberAssignedGear();
}

void CCommissioningEntries::NumberAssignedGear()
{
    int next = NextDisplayNr();
    for (EvgEntry& e : m_entries)
        if (e.randomAddress != 0 && e.assigned && e.displayNr == 0)
            e.displayNr = next++;
}

int CCommissioningEntries::NextDisplayNr() const
{
    int highest = 0;
    for (const EvgEntry& e : m_entries)
        highest = std::max(highest, e.displayNr);
    return highest + 1;
}

void CCommissioningEntries::StoreGear(int memberNr)
{
    const EvgEntry& e = (*this)[memberNr];
    m_model.SetMemberRandomNr(memberNr, e.randomAddress);
    m_model.SetMemberFoundType(memberNr, e.foundType);
}

void CCommissioningEntries::SwapGear(int a, int b)
{
    EvgEntry& x = (*this)[a];
    EvgEntry& y = (*this)[b];
    std::swap(x.randomAddress, y.randomAddress);
    std::swap(x.foundType, y.foundType);
    std::swap(x.gatewayNr, y.gatewayNr);
    std::swap(x.displayNr, y.displayNr);
    StoreGear(a);
    StoreGear(b);
    x.numberChanged = y.numberChanged = true;
}

void CCommissioningEntries::Assign(int t, int m)
{
    TRACE_MSG(TRACE_INFO, "Found = %d, MemberNr = %d", t, m);
    if (t != m)
        SwapGear(t, m);
    EvgEntry& e = (*this)[m];
    e.assigned = true;
    m_model.SetMemberAssigned(m, true);
    e.groups = m_model.GetMemberGroupAssignment(m);
    if (e.groups != 0)
        e.groupsChanged = true;
}

int CCommissioningEntries::Unassign(int m)
{
    TRACE_MSG(TRACE_INFO, "MemberNr = %d", m);
    EvgEntry& e = (*this)[m];
    if (e.groups != 0)
        e.groupsChanged = true;
    e.assigned = false;
    m_model.SetMemberAssigned(m, false);
    if (e.displayNr == 0 && e.randomAddress != 0)
        e.displayNr = NextDisplayNr();
    // The gear goes back to the slot it was found under when that slot still holds this one's.
    const int g = e.gatewayNr;
    if (g != m && g >= 1 && g <= kCount) {
        const EvgEntry& other = (*this)[g];
        if (other.gatewayNr == m && !other.assigned) {
            SwapGear(m, g);
            return g;
        }
    }
    return m;
}

void CCommissioningEntries::ApplySearch(const std::array<std::int32_t, kCount>& addresses,
                                        const std::array<std::uint8_t, kCount>& types, bool hideAssigned)
{
    TRACE_ENTRY();
    int next = 1;
    for (int n = 1; n <= kCount; ++n) {
        EvgEntry& e = (*this)[n];
        const std::int32_t a = addresses[static_cast<std::size_t>(n - 1)];
        const std::uint8_t type = types[static_cast<std::size_t>(n - 1)];
        const bool stillAssigned = a != 0 && e.IsProjected() && e.assigned && e.randomAddress == a;
        if ((e.assigned != stillAssigned || e.randomAddress != a) && e.groups != 0)
            e.groupsChanged = true;
        if (e.randomAddress != a)
            m_model.SetMemberRandomNr(n, a);
        if (e.foundType != type)
            m_model.SetMemberFoundType(n, type);
        if (e.assigned != stillAssigned)
            m_model.SetMemberAssigned(n, stillAssigned);
        e.randomAddress = a;
        e.foundType = type;
        e.assigned = stillAssigned;
        e.gatewayNr = n;
        e.displayNr = a != 0 && !stillAssigned ? next++ : 0;
    }
    if (!hideAssigned)
        NumberAssignedGear();
}

bool CCommissioningEntries::UnassignAll()
{
    bool any = false;
    for (int m = 1; m <= kCount; ++m) {
        if ((*this)[m].assigned) {
            Unassign(m);
            any = true;
        }
    }
    for (EvgEntry& e : m_entries)
        e.groupsChanged = false;
    return any;
}

bool CCommissioningEntries::ResetAll()
{
    bool changed = false;
    for (int m = 1; m <= kCount; ++m) {
        EvgEntry& e = (*this)[m];
        if (e.randomAddress != 0) {
            m_model.SetMemberRandomNr(m, 0);
            changed = true;
        }
        if (e.foundType != 0) {
            m_model.SetMemberFoundType(m, 0);
            changed = true;
        }
        if (e.assigned) {
            m_model.SetMemberAssigned(m, false);
            changed = true;
        }
        e.randomAddress = 0;
        e.foundType = 0;
        e.assigned = false;
        e.gatewayNr = m;
        e.displayNr = 0;
        e.groupsChanged = e.numberChanged = false;
    }
    return changed;
}

int CCommissioningEntries::EntryOfGatewayNr(int gatewayNr) const
{
    for (int m = 1; m <= kCount; ++m)
        if ((*this)[m].gatewayNr == gatewayNr && (*this)[m].randomAddress != 0)
            return m;
    return 0;
}

bool CCommissioningEntries::AnyFoundInSeveralGroups() const
{
    return std::any_of(m_entries.begin(), m_entries.end(),
                       [](const EvgEntry& e) { return e.randomAddress != 0 && e.InSeveralGroups(); });
}

void CCommissioningEntries::NumberDownload(CEtsLifeDeviceConnection::NumberList& numbers,
                                           CEtsLifeDeviceConnection::TypeList& types) const
{
    for (int m = 1; m <= kCount; ++m) {
        const EvgEntry& e = (*this)[m];
        if (!e.numberChanged)
            continue;
        numbers[m] = e.randomAddress;
        types[m] = e.foundType;
    }
}

CEtsLifeDeviceConnection::GroupList CCommissioningEntries::GroupDownload(bool all) const
{
    CEtsLifeDeviceConnection::GroupList list;
    for (int m = 1; m <= kCount; ++m) {
        const EvgEntry& e = (*this)[m];
        if (all || e.groupsChanged || e.numberChanged)
            list[m] = {e.assigned ? e.groups : 0u, e.randomAddress != 0};
    }
    return list;
}
