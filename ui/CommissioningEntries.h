// The commissioning page's record of the 64 gear slots: what the project holds of each member and
// which found gear is recorded where, with the rules that move found gear between members.
#pragma once

#include "device/EtsLifeDeviceConnection.h"

#include <array>
#include <bit>
#include <cstdint>
#include <string>

class CEtsDbManagement;

struct EvgEntry
{
    std::string name;
    std::uint32_t groups = 0; // bit g-1 = group g
    bool single = false;
    bool assigned = false;          // a found gear is assigned to this member
    std::int32_t randomAddress = 0; // of the found gear recorded here; 0 = none
    std::uint8_t projectedType = 0;
    std::uint8_t foundType = 0;
    int gatewayNr = 0; // the gateway's gear number the recorded gear was found under
    int displayNr = 0; // running number in the found list; 0 = none
    bool groupsChanged = false;
    bool numberChanged = false;

    bool InSeveralGroups() const { return std::popcount(groups) > 1; }
    bool IsProjected() const { return groups != 0 || single; }
};

class CCommissioningEntries
{
public:
    static constexpr int kCount = 64;

    explicit CCommissioningEntries(CEtsDbManagement& model) : m_model(model) {}

    // Reads every member from the project and numbers the found gear for display.
    void Load();
    EvgEntry& operator[](int memberNr) { return m_entries[static_cast<std::size_t>(memberNr - 1)]; }
    const EvgEntry& operator[](int memberNr) const
    {
        return m_entries[static_cast<std::size_t>(memberNr - 1)];
    }

    // The found gear recorded at entry t goes to member m (t may be m).
    void Assign(int t, int m);
    // Member m gives its gear back; returns the entry that holds the gear afterwards.
    int Unassign(int m);
    // A successful search: the gear found under each gateway number.
    void ApplySearch(const std::array<std::int32_t, kCount>& addresses,
                     const std::array<std::uint8_t, kCount>& types, bool hideAssigned);
    // The gateway forgot every group assignment; true when an entry was assigned.
    bool UnassignAll();
    // The gateway reset every gear; true when something changed.
    bool ResetAll();
    // The entry that records the gear found under a gateway number; 0 if none does.
    int EntryOfGatewayNr(int gatewayNr) const;
    // Some found gear is in more than one group.
    bool AnyFoundInSeveralGroups() const;
    // Entries that have found gear but no display number get the next ones (assigned ones only).
    void NumberAssignedGear();

    // What leaving the page downloads: changed numbers, and changed (or, with all, every) group masks.
    void NumberDownload(CEtsLifeDeviceConnection::NumberList& numbers,
                        CEtsLifeDeviceConnection::TypeList& types) const;
    CEtsLifeDeviceConnection::GroupList GroupDownload(bool all) const;

private:
    int NextDisplayNr() const;
    void SwapGear(int a, int b);
    void StoreGear(int memberNr);

    CEtsDbManagement& m_model;
    std::array<EvgEntry, kCount> m_entries{};
};
