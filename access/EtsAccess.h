// The plug-in's only door to the device's host parameters: a registry from UniqueNr to the host's
// parameter objects, typed reads and writes, texts by number, defaults, resets and tree walks.
#pragma once

#include "access/PrintLine.h"
#include "hostapi/EtsHost.h"

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

using UniqueNr = std::int32_t;

class CEtsAccess
{
public:
    using ParameterMap = std::map<UniqueNr, ComPtr<IEtsDeviceParameter>>;
    using UiParameterMap = std::map<UniqueNr, ComPtr<IEtsUIParameter>>;
    using EnumMap = std::map<std::int32_t, std::string>;
    using ValueMap = std::map<std::int32_t, Variant>;
    // Maps (UniqueNr, argument) to the key a tree walk stores a value under.
    using KeyFunction = UniqueNr (*)(UniqueNr uniqueNr, int argument);

    // The main window hands over the device it edits; the access layer holds one reference.
    explicit CEtsAccess(IEtsDevice* device);
    virtual ~CEtsAccess();
    CEtsAccess(const CEtsAccess&) = delete;
    CEtsAccess& operator=(const CEtsAccess&) = delete;

    HRESULT LoadDeviceParameterPointers();

    // Lookup (not found: traced, null).
    IEtsDeviceParameter* GetDeviceParameterPointer(UniqueNr uniqueNr) const;
    IEtsUIParameter* GetPointerUIParameter(UniqueNr uniqueNr) const;
    HRESULT GetPointerUIParameter(UniqueNr uniqueNr, ComPtr<IEtsUIParameter>& parameter) const;
    UniqueNr GetUniqueNumber(IEtsUIParameter* parameter) const;

    // Values.
    HRESULT GetParameterValue(UniqueNr uniqueNr, Variant& value, std::int16_t* visible = nullptr) const;
    HRESULT GetParameterValue(UniqueNr uniqueNr, std::int32_t& value) const;
    HRESULT GetParameterValue(UniqueNr uniqueNr, std::string& text) const;
    HRESULT SetParameterValue(UniqueNr uniqueNr, const Variant& value);
    // From BeginJournal on, the value each parameter had before its first write is recorded;
    // EndJournal stops and hands the record over, in the order of the first writes.
    void BeginJournal();
    // A number and a text that is the same number in plain decimals.
    static bool SameNumber(const Variant& number, const Variant& text);
    std::vector<std::pair<UniqueNr, Variant>> EndJournal();
    // From HoldWrites on, writes of the given numbers are held back: the host keeps its value, and
    // reads through this class see the held one. After StopHolding, writes go to the host again, and a
    // held value stays until a write of its number succeeds; WriteHeldValues writes those left, in the
    // order they were first held, and ends the hold. So a reset followed by a file's values writes
    // each value the file brings once, and the reset's value only where the host refuses the file's.
    void HoldWrites(const std::vector<UniqueNr>& numbers);
    void StopHolding() { m_holding = false; }
    void WriteHeldValues();
    std::int32_t GetParameterLong(UniqueNr uniqueNr, std::int32_t defaultValue) const;
    HRESULT SetParameterLong(UniqueNr uniqueNr, std::int32_t value);
    HRESULT SetParameterString(UniqueNr uniqueNr, std::string_view text);
    std::string GetParameterString(UniqueNr uniqueNr, std::string_view defaultText) const;

    // 32-bit bit patterns (masks, packed table words): written unsigned so that bit 31 survives,
    // and read back as the pattern also when the host holds them as a negative signed value.
    HRESULT SetParameterPattern(UniqueNr uniqueNr, std::uint32_t bits);
    std::uint32_t GetParameterPattern(UniqueNr uniqueNr, std::uint32_t defaultBits) const;

    // Descriptions: the UI texts of the system, by number.
    HRESULT GetParameterDescription(UniqueNr uniqueNr, IEtsUIParameter* parameter, std::string& text) const;
    // Out form takes a pointer so that a text argument always means the default form below.
    HRESULT GetParameterText(UniqueNr uniqueNr, std::string* text) const;
    std::string GetParameterText(UniqueNr uniqueNr, std::string_view defaultText) const;

    // Type information.
    HRESULT GetParameterEnumValues(UniqueNr uniqueNr, EnumMap& values) const;
    HRESULT GetParameterIntegerValueRange(UniqueNr uniqueNr, std::int32_t& minimum,
                                          std::int32_t& maximum) const;
    HRESULT GetDisplayedValue(UniqueNr uniqueNr, IEtsUIParameter* parameter, const Variant& value,
                              std::string& text) const;
    HRESULT GetParameterDefaultValue(UniqueNr uniqueNr, Variant& value) const;
    HRESULT GetParameterDefaultValue(UniqueNr uniqueNr, std::string& text) const;

    // Resets and collections.
    HRESULT ResetParameter(UniqueNr uniqueNr);
    HRESULT ResetDependentParameters(UniqueNr uniqueNr, bool parent);
    HRESULT GetAllParameterValues(ValueMap& values, UniqueNr uniqueNr, int argument = 0,
                                  KeyFunction key = nullptr) const;
    HRESULT GetAllDefaultValues(ValueMap& values, UniqueNr uniqueNr, int argument = 0,
                                KeyFunction key = nullptr) const;
    // The values GetAllParameterValues collects, handed to visit in ascending number without a map.
    HRESULT VisitAllParameterValues(UniqueNr uniqueNr,
                                    const std::function<void(UniqueNr, const Variant&)>& visit) const;
    HRESULT CheckParameterDependentObjectAssociations(UniqueNr uniqueNr, bool& found) const;
    bool CheckParameterDependentObjectAssociations(UniqueNr uniqueNr) const;

    // Conversions by the variant rules; integers go through the unsigned kinds.
    static HRESULT ChangeVariantToString(Variant value, std::string& text);
    static std::string ChangeVariantToString(Variant value);
    static HRESULT ChangeVariantToLong(Variant value, std::int32_t& integer);
    static std::int32_t ChangeVariantToLong(Variant value);
    static HRESULT ChangeVariantToShort(Variant value, std::uint16_t& integer);
    static std::uint16_t ChangeVariantToShort(Variant value);

    // Printout lines, written only for a parameter the host shows as visible and accessible (else the
    // reason is traced). The value line "description: shown value" returns the parameter's integer
    // value whether or not it was printed, -1 for none.
    std::int32_t AddPrintParameter(PrintLineList& list, int level, UniqueNr uniqueNr,
                                   IEtsUIParameter* parameter) const;
    // A time of one to three fields "description hint: 01:02:03" (hint 896: "01:02.3").
    void AddPrintParameter(PrintLineList& list, int level, UniqueNr hintNr,
                           std::initializer_list<UniqueNr> uniqueNrs) const;

    IEtsDevice* GetDevice() const { return m_pDevice.Get(); }
    bool IsModified() const { return m_bModified; }
    std::uint8_t GetGroupAddressLevels() const { return m_nGroupAddressLevels; }
    const ParameterMap& GetParameterMap() const { return m_ParameterMap; }

private:
    // The parameter's type and base type; a failure is traced under the number and returned.
    HRESULT GetParameterType(UniqueNr uniqueNr, IEtsUIParameter* parameter, ComPtr<IEtsParameterType>& type,
                             std::int32_t& baseType) const;
    // Calls visit(child) for each parameter that depends on this one, in the host's order; failures
    // of the list are traced and end the walk, a failed item is traced and skipped.
    // True when the list was read in full and is kept.
    template <class Visit> bool ForEachDependent(IEtsUIParameter* parameter, Visit visit) const;
    // The parameters that depend on this one; false when the list or an item could not be read.
    bool ReadDependents(IEtsUIParameter* parameter, std::vector<ComPtr<IEtsUIParameter>>& children) const;
    HRESULT CollectValues(ValueMap& values, UniqueNr uniqueNr, int argument, KeyFunction key,
                          bool defaults) const;
    struct Entry;
    using Subtree = std::vector<std::pair<UniqueNr, const Entry*>>;
    void CollectValuesOf(IEtsUIParameter* parameter, ValueMap& values, int argument, KeyFunction key,
                         bool defaults, Subtree& walked, bool& complete) const;
    // Reads the values (or defaults) of a kept subtree and hands each to visit(number, value).
    template <class Visit> void ReadKept(const Subtree& subtree, bool defaults, Visit visit) const;
    void ResetDependentsOf(IEtsUIParameter* parameter, bool resetSelf);

    ComPtr<IEtsDevice> m_pDevice;
    ParameterMap m_ParameterMap;
    UiParameterMap m_UiParameterMap;
    // Lookups by number are the hot path of every read and write; the maps keep the order. Numbers
    // below kDirectLimit find their entry's place by position, any others by hash.
    struct Entry
    {
        static constexpr std::int32_t kUnknown = -1, kUncached = -2;
        IEtsDeviceParameter* parameter = nullptr;
        IEtsUIParameter* ui = nullptr;
        // The position of the parameter's dependents in m_childLists, once read.
        mutable std::int32_t children = kUnknown;
        // The journal that recorded the parameter's value last.
        mutable std::uint32_t journaled = 0;
        // The position of the parameter's subtree in m_subtrees, once walked in full.
        mutable std::int32_t subtree = kUnknown;
        // The hold that holds the parameter's writes back, and the place of its held value in m_held.
        mutable std::uint32_t held = 0;
        mutable std::int32_t heldSlot = -1;
    };
    // The held value of an entry of the running hold, or null.
    const Variant* HeldValue(const Entry* entry) const
    {
        return m_holdStamp != 0 && entry->held == m_holdStamp && entry->heldSlot >= 0
                   ? &m_held[static_cast<std::size_t>(entry->heldSlot)].second
                   : nullptr;
    }
    static constexpr UniqueNr kDirectLimit = 1 << 17;
    const Entry* FindEntry(UniqueNr uniqueNr) const
    {
        if (uniqueNr >= 0 && static_cast<std::size_t>(uniqueNr) < m_direct.size()) {
            const std::int32_t place = m_direct[static_cast<std::size_t>(uniqueNr)];
            return place >= 0 ? &m_entries[static_cast<std::size_t>(place)] : nullptr;
        }
        auto it = m_index.find(uniqueNr);
        return it == m_index.end() ? nullptr : &it->second;
    }
    void AddEntry(UniqueNr uniqueNr, Entry entry);
    std::vector<Entry> m_entries;
    std::vector<std::int32_t> m_direct; // place in m_entries by number, -1 for none
    std::unordered_map<UniqueNr, Entry> m_index;
    mutable std::vector<std::vector<IEtsUIParameter*>> m_childLists;
    mutable std::vector<Subtree> m_subtrees;
    // The same subtrees ascending by number, each number once; made when first asked.
    mutable std::vector<Subtree> m_sortedSubtrees;
    std::uint32_t m_journalStamp = 0; // 0: no journal runs
    std::uint32_t m_nextJournalStamp = 1;
    std::vector<std::pair<UniqueNr, Variant>> m_journal;
    std::uint32_t m_holdStamp = 0; // 0: no hold
    std::uint32_t m_nextHoldStamp = 1;
    bool m_holding = false;
    std::vector<std::pair<UniqueNr, Variant>> m_held;
    std::size_t m_heldLeft = 0; // held values no write of their number has replaced

protected:
    bool m_bModified = false;
    std::uint8_t m_nGroupAddressLevels = 3;
};
