// Communication object flags, group address associations and the reset of the whole configuration.
#include "model/CommObjectWalk.h"
#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <algorithm>
#include <cstdio>
#include <map>
#include <optional>
#include <unordered_set>

namespace {

constexpr EtsObjectFlag kFlags[] = {EtsFlagCommunication, EtsFlagRead, EtsFlagWrite, EtsFlagTransmit,
                                    EtsFlagUpdate};
// Bit of each flag in the flags word, in the order of kFlags.
constexpr int kFlagBits[] = {2, 3, 4, 6, 7};

// "object:main/rest" in the project's notation of two or three levels.
std::string FailedAddress(int levels, long object, long main, long middle, long sub)
{
    char buf[64];
    if (levels == 2)
        std::snprintf(buf, sizeof buf, "%ld:%ld/%ld", object, main, middle * 256 + sub);
    else
        std::snprintf(buf, sizeof buf, "%ld:%ld/%ld/%ld", object, main, middle, sub);
    return buf;
}

// The first characters of a UTF-8 text, never cutting a character in two.
std::string CutCharacters(const std::string& text, std::size_t count)
{
    std::size_t i = 0;
    for (std::size_t chars = 0; i < text.size() && chars < count; ++chars) {
        ++i;
        while (i < text.size() && (static_cast<unsigned char>(text[i]) & 0xC0) == 0x80)
            ++i;
    }
    return text.substr(0, i);
}

// A group address token of the exchange file: the decimal 16-bit value, nothing else.
bool ParseGroupAddress(const std::string& token, long& address)
{
    std::size_t begin = token.find_first_not_of(" \t"), end = token.find_last_not_of(" \t");
    if (begin == std::string::npos)
        return false;
    long value = 0;
    for (std::size_t i = begin; i <= end; ++i) {
        if (token[i] < '0' || token[i] > '9')
            return false;
        value = value * 10 + (token[i] - '0');
        if (value > 0xFFFF)
            return false;
    }
    address = value;
    return true;
}

template <class T> ComPtr<T> FindByQuery(IEtsCollection<T>* list, const std::string& query)
{
    ComPtr<T> item;
    if (!list || FAILED(list->Item(Variant::String(query), item.GetAddressOf())))
        item.Reset();
    return item;
}

void ApplyStandardFlags(IEtsCommObject* object, IEtsStandardCommObject* standard)
{
    std::int32_t priority = 0;
    if (SUCCEEDED(standard->get_Priority(&priority)))
        object->put_Priority(priority);
    for (EtsObjectFlag flag : kFlags) {
        std::int16_t on = 0;
        if (SUCCEEDED(standard->get_Flag(flag, &on)))
            object->put_Flag(flag, on);
    }
}

bool HasStandardSettings(IEtsCommObject* object, IEtsStandardCommObject* standard)
{
    std::int32_t priority = 0, standardPriority = 0;
    if (SUCCEEDED(object->get_Priority(&priority)) && SUCCEEDED(standard->get_Priority(&standardPriority)) &&
        priority != standardPriority)
        return false;
    for (EtsObjectFlag flag : kFlags) {
        std::int16_t on = 0, standardOn = 0;
        if (SUCCEEDED(object->get_Flag(flag, &on)) && SUCCEEDED(standard->get_Flag(flag, &standardOn)) &&
            (on != 0) != (standardOn != 0))
            return false;
    }
    return true;
}

} // namespace

void CEtsDbManagement::CollectVisibleNonStandardObjects()
{
    TRACE_ENTRY();
    m_listNonStandardObjects.clear();
    ForEachCommObject(GetDevice(), true, ObjectItemFailure::EndsWalk, [this](IEtsCommObject* object) {
        ComPtr<IEtsStandardCommObject> standard;
        if (FAILED(object->get_StandardObject(standard.GetAddressOf())) || !standard ||
            HasStandardSettings(object, standard.Get()))
            return;
        std::uint16_t number = 0;
        std::int32_t unique = -1;
        standard->get_Number(&number);
        TRACE_MSG(TRACE_INFO, "ObjectNr = %d", static_cast<int>(number));
        if (SUCCEEDED(standard->get_UniqueNumber(&unique)) && unique >= 0)
            m_listNonStandardObjects.push_back(unique);
    });
}

void CEtsDbManagement::ResetInvisibleNonStandardObjects()
{
    TRACE_ENTRY();
    ComPtr<IEtsCollection<IEtsCommObject>> objects;
    if (!GetDevice() || FAILED(GetDevice()->get_CommObjects(0, objects.GetAddressOf())) || !objects)
        return;
    for (std::int32_t unique : m_listNonStandardObjects) {
        auto object = FindByQuery(objects.Get(), "$(UniqueNumber)=" + std::to_string(unique));
        std::int16_t visible = 1;
        if (!object || FAILED(object->get_Visible(&visible)) || visible)
            continue;
        ComPtr<IEtsStandardCommObject> standard;
        if (FAILED(object->get_StandardObject(standard.GetAddressOf())) || !standard)
            continue;
        std::uint16_t number = 0;
        standard->get_Number(&number);
        TRACE_MSG(TRACE_INFO, "ObjectNr = %d", static_cast<int>(number));
        ApplyStandardFlags(object.Get(), standard.Get());
    }
}

void CEtsDbManagement::ResetObjectFlags()
{
    TRACE_ENTRY();
    ResetInvisibleNonStandardObjects();
    m_listNonStandardObjects.clear();
    ForEachCommObject(GetDevice(), true, ObjectItemFailure::SkipsObject, [](IEtsCommObject* object) {
        ComPtr<IEtsStandardCommObject> standard;
        if (SUCCEEDED(object->get_StandardObject(standard.GetAddressOf())) && standard)
            ApplyStandardFlags(object, standard.Get());
    });
}

void CEtsDbManagement::GetDeviceObjectAssociations(ObjectAssociationMap& map)
{
    TRACE_ENTRY();
    ForEachCommObject(GetDevice(), true, ObjectItemFailure::SkipsObject, [&](IEtsCommObject* object) {
        std::uint16_t number = 0;
        ComPtr<IEtsAssociations> associations;
        std::int32_t associationCount = 0;
        if (FAILED(object->get_Number(&number)) ||
            FAILED(object->get_Associations(associations.GetAddressOf())) || !associations ||
            FAILED(associations->get_Count(&associationCount)))
            return;
        ObjectAssociationRecord record;
        for (std::int32_t a = 1; a <= associationCount; ++a) {
            ComPtr<IEtsAssociation> association;
            ComPtr<IEtsGroupAddress> address;
            std::int16_t sending = 0;
            Variant value;
            if (FAILED(associations->Item(Variant::I4(a), association.GetAddressOf())) || !association ||
                FAILED(association->get_GroupAddress(address.GetAddressOf())) || !address ||
                FAILED(association->get_Sending(&sending)) || FAILED(address->get_Address(&value))) {
                TRACE_MSG(TRACE_ERROR, "ObjectNr = %d", static_cast<int>(number));
                continue;
            }
            const std::string text = ChangeVariantToString(value);
            if (record.addresses.empty())
                record.addresses = text;
            else if (sending)
                record.addresses = text + "," + record.addresses;
            else
                record.addresses += "," + text;
        }
        std::int32_t priority = 0;
        object->get_Priority(&priority);
        int flags = priority & 3;
        for (std::size_t f = 0; f < std::size(kFlags); ++f) {
            std::int16_t on = 0;
            if (SUCCEEDED(object->get_Flag(kFlags[f], &on)) && on)
                flags |= 1 << kFlagBits[f];
        }
        record.flags = static_cast<std::int16_t>(flags);
        ComPtr<IEtsDatapointType> type;
        ComPtr<IEtsDatapointSubtype> subtype;
        std::int32_t typeNumber = 0;
        if (SUCCEEDED(object->get_DatapointType(type.GetAddressOf())) && type &&
            SUCCEEDED(type->get_Number(&typeNumber)))
            record.mainType = static_cast<std::int16_t>(typeNumber);
        if (SUCCEEDED(object->get_DatapointSubtype(subtype.GetAddressOf())) && subtype &&
            SUCCEEDED(subtype->get_Number(&typeNumber)))
            record.subType = static_cast<std::int16_t>(typeNumber);
        map[number] = std::move(record);
    });
}

namespace {

// Writes file records to objects: flags, datapoint types and associations, creating missing group
// addresses. Looked-up types and lists are kept for the next object.
class ObjectRecordWriter
{
public:
    ObjectRecordWriter(IEtsDevice* device, int addressLevels, std::string* failures)
        : m_levels(addressLevels), m_failures(failures)
    {
        m_ready = device && SUCCEEDED(device->get_Project(m_project.GetAddressOf())) && m_project;
    }
    bool Ready() const { return m_ready; }

    void Fail(const std::string& entry)
    {
        if (!m_failures)
            return;
        if (!m_failures->empty())
            *m_failures += ", ";
        *m_failures += entry;
    }

    static void Flags(IEtsCommObject* object, std::int16_t flags)
    {
        object->put_Priority(flags & 3);
        for (std::size_t f = 0; f < std::size(kFlags); ++f)
            object->put_Flag(kFlags[f], static_cast<std::int16_t>((flags >> kFlagBits[f]) & 1));
    }

    void Types(IEtsCommObject* object, const ObjectAssociationRecord& record)
    {
        if (record.mainType < 0)
            return;
        // The project's lists are asked for when first needed: many imports change no address.
        if (!m_typesAsked) {
            m_typesAsked = true;
            if (FAILED(m_project->get_DatapointTypes(m_types.GetAddressOf())))
                m_types.Reset();
        }
        if (!m_types)
            return;
        // Many objects share a type: each is looked up once.
        auto [typeIt, newType] = m_typeCache.try_emplace(record.mainType);
        if (newType)
            typeIt->second = FindByQuery(m_types.Get(), "$(ID)=" + std::to_string(record.mainType));
        const ComPtr<IEtsDatapointType>& type = typeIt->second;
        if (!type)
            return;
        object->put_DatapointType(type.Get());
        if (record.subType < 0)
            return;
        auto [subIt, newSub] = m_subtypeCache.try_emplace({record.mainType, record.subType});
        ComPtr<IEtsCollection<IEtsDatapointSubtype>> subtypes;
        if (newSub && SUCCEEDED(type->get_Subtypes(subtypes.GetAddressOf())))
            subIt->second = FindByQuery(subtypes.Get(), "$(ID)=" + std::to_string(record.subType));
        if (subIt->second)
            object->put_DatapointSubtype(subIt->second.Get());
    }

    // The addresses of the text that are group addresses, each once, in the text's order; the tokens
    // that are none go to unparsed.
    static std::vector<std::int32_t> Parse(const std::string& addresses, std::vector<std::string>& unparsed)
    {
        std::vector<std::int32_t> parsed;
        ForEachToken(addresses, [&](const std::string& token) {
            long a = 0;
            if (!ParseGroupAddress(token, a))
                unparsed.push_back(token);
            else if (std::find(parsed.begin(), parsed.end(), static_cast<std::int32_t>(a)) == parsed.end())
                parsed.push_back(static_cast<std::int32_t>(a));
        });
        return parsed;
    }

    // Associates the object with each address of the text, creating the addresses that do not exist.
    void Associate(IEtsCommObject* object, std::uint16_t number, IEtsAssociations* associations,
                   const std::string& addresses)
    {
        // The object's texts name a group address it creates.
        std::string text, function;
        bool texts = false;
        ForEachToken(addresses, [&](const std::string& token) {
            long a = 0;
            if (!ParseGroupAddress(token, a)) {
                // Not a group address: reported as given, never handed to the host's query.
                Fail(std::to_string(number) + ":" + token);
                return;
            }
            const long main = (a >> 11) & 0x1F, middle = (a >> 8) & 0x07, sub = a & 0xFF;
            const std::string normalised = std::to_string(a);
            if (!m_addressesAsked) {
                m_addressesAsked = true;
                m_project->get_GroupAddresses(m_addresses.GetAddressOf());
                m_project->get_MainGroups(m_mainGroups.GetAddressOf());
            }
            auto address = FindByQuery(m_addresses.Get(), "$(GroupAddress)='" + normalised + "'");
            if (!address && m_mainGroups) {
                TRACE_MSG(TRACE_INFO, "ObjectNr = %d: Creating GroupAddress = %s", static_cast<int>(number),
                          normalised.c_str());
                auto mainGroup = FindByQuery<IEtsMainGroup>(m_mainGroups.Get(),
                                                            "$(Address)='" + std::to_string(main) + "'");
                if (!mainGroup)
                    m_mainGroups->Add(static_cast<std::int32_t>(main), "", mainGroup.GetAddressOf());
                ComPtr<IEtsMiddleGroupList> middles;
                ComPtr<IEtsMiddleGroup> middleGroup;
                if (mainGroup && SUCCEEDED(mainGroup->get_MiddleGroups(middles.GetAddressOf())) && middles) {
                    middleGroup = FindByQuery<IEtsMiddleGroup>(middles.Get(),
                                                               "$(Address)='" + std::to_string(middle) + "'");
                    if (!middleGroup)
                        middles->Add(static_cast<std::int32_t>(middle), "", middleGroup.GetAddressOf());
                }
                ComPtr<IEtsGroupAddressList> subs;
                if (middleGroup && SUCCEEDED(middleGroup->get_GroupAddresses(subs.GetAddressOf())) && subs) {
                    address =
                        FindByQuery<IEtsGroupAddress>(subs.Get(), "$(Address)='" + std::to_string(sub) + "'");
                    if (!address) {
                        if (!texts) {
                            object->get_Text(&text);
                            object->get_FunctionText(&function);
                            texts = true;
                        }
                        subs->Add(static_cast<std::int32_t>(sub), CutCharacters(text + " - " + function, 50),
                                  address.GetAddressOf());
                    }
                }
            }
            bool associated = false;
            if (address) {
                ComPtr<IEtsAssociation> association;
                HRESULT hr = associations->Add(address.Get(), association.GetAddressOf());
                associated = SUCCEEDED(hr);
                if (!associated)
                    TRACE_HR_MSG(TRACE_ERROR, hr, "ObjectNr = %d, GroupAddress = %s",
                                 static_cast<int>(number), normalised.c_str());
            }
            if (!associated)
                Fail(FailedAddress(m_levels, number, main, middle, sub));
        });
    }

private:
    template <class Visit> static void ForEachToken(const std::string& addresses, Visit visit)
    {
        std::size_t begin = 0;
        while (begin <= addresses.size() && !addresses.empty()) {
            const std::size_t comma = addresses.find(',', begin);
            visit(addresses.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
            begin = comma == std::string::npos ? addresses.size() + 1 : comma + 1;
        }
    }

    int m_levels;
    std::string* m_failures;
    bool m_ready = false;
    ComPtr<IEtsProject> m_project;
    bool m_typesAsked = false, m_addressesAsked = false;
    ComPtr<IEtsCollection<IEtsDatapointType>> m_types;
    ComPtr<IEtsCollection<IEtsGroupAddress>> m_addresses;
    ComPtr<IEtsMainGroupList> m_mainGroups;
    std::map<std::int16_t, ComPtr<IEtsDatapointType>> m_typeCache;
    std::map<std::pair<std::int16_t, std::int16_t>, ComPtr<IEtsDatapointSubtype>> m_subtypeCache;
};

// The group addresses an object is associated with, in the host's order; nullopt when unreadable.
std::optional<std::vector<std::int32_t>> AssociatedAddresses(IEtsAssociations* associations)
{
    std::int32_t count = 0;
    if (FAILED(associations->get_Count(&count)))
        return std::nullopt;
    std::vector<std::int32_t> addresses;
    addresses.reserve(static_cast<std::size_t>(std::max(count, 0)));
    for (std::int32_t a = 1; a <= count; ++a) {
        ComPtr<IEtsAssociation> association;
        ComPtr<IEtsGroupAddress> address;
        Variant value;
        std::int32_t number = 0;
        if (FAILED(associations->Item(Variant::I4(a), association.GetAddressOf())) || !association ||
            FAILED(association->get_GroupAddress(address.GetAddressOf())) || !address ||
            FAILED(address->get_Address(&value)) || FAILED(CEtsAccess::ChangeVariantToLong(value, number)))
            return std::nullopt;
        addresses.push_back(number);
    }
    return addresses;
}

void DeleteAllAssociations(IEtsAssociations* associations, std::uint16_t number)
{
    std::int32_t count = 0;
    if (FAILED(associations->get_Count(&count)))
        return;
    for (std::int32_t a = 0; a < count; ++a) {
        if (HRESULT hr = associations->Delete(Variant::I4(1)); FAILED(hr)) {
            TRACE_HR_MSG(TRACE_ERROR, hr, "ObjectNr = %d", static_cast<int>(number));
            break;
        }
    }
}

} // namespace

void CEtsDbManagement::SetDeviceObjectAssociations(const ObjectAssociationMap& map, std::string* failures)
{
    TRACE_ENTRY();
    ObjectRecordWriter writer(GetDevice(), GetGroupAddressLevels(), failures);
    if (!writer.Ready())
        return;
    ForEachCommObject(GetDevice(), true, ObjectItemFailure::SkipsObject, [&](IEtsCommObject* object) {
        std::uint16_t number = 0;
        if (FAILED(object->get_Number(&number)))
            return;
        auto found = map.find(number);
        if (found == map.end())
            return;
        const ObjectAssociationRecord& record = found->second;
        if (record.flags >= 0)
            ObjectRecordWriter::Flags(object, record.flags);
        writer.Types(object, record);
        ComPtr<IEtsAssociations> associations;
        if (FAILED(object->get_Associations(associations.GetAddressOf())) || !associations) {
            TRACE_MSG(TRACE_ERROR, "ObjectNr = %d", static_cast<int>(number));
            return;
        }
        writer.Associate(object, number, associations.Get(), record.addresses);
    });
}

bool CEtsDbManagement::NonStandardObjectsListed()
{
    TRACE_ENTRY();
    const std::unordered_set<std::int32_t> listed(m_listNonStandardObjects.begin(),
                                                  m_listNonStandardObjects.end());
    bool all = true;
    HRESULT hr =
        ForEachCommObject(GetDevice(), false, ObjectItemFailure::EndsWalk, [&](IEtsCommObject* object) {
            ComPtr<IEtsStandardCommObject> standard;
            std::int32_t unique = -1;
            if (!all || FAILED(object->get_StandardObject(standard.GetAddressOf())) || !standard ||
                HasStandardSettings(object, standard.Get()))
                return;
            all = SUCCEEDED(standard->get_UniqueNumber(&unique)) && listed.count(unique) > 0;
        });
    return SUCCEEDED(hr) && all;
}

void CEtsDbManagement::ReplaceDeviceObjectAssociations(const ObjectAssociationMap& map, std::string* failures)
{
    TRACE_ENTRY();
    ObjectRecordWriter writer(GetDevice(), GetGroupAddressLevels(), failures);
    if (!writer.Ready())
        return;
    const std::unordered_set<std::int32_t> listed(m_listNonStandardObjects.begin(),
                                                  m_listNonStandardObjects.end());
    std::vector<bool> shown(0x10000, false);
    // Hidden objects carry no associations; the visible ones are visited in the order of the
    // list of visible objects, as SetDeviceObjectAssociations does.
    ForEachCommObject(GetDevice(), false, ObjectItemFailure::SkipsObject, [&](IEtsCommObject* object) {
        std::uint16_t number = 0;
        std::int16_t visible = 0;
        if (FAILED(object->get_Number(&number)) || FAILED(object->get_Visible(&visible)))
            return;
        auto found = visible ? map.find(number) : map.end();
        const ObjectAssociationRecord* record = found == map.end() ? nullptr : &found->second;
        // The reset gives the listed objects their standard settings; the file's flags replace them.
        if (record && record->flags >= 0) {
            ObjectRecordWriter::Flags(object, record->flags);
        } else if (!listed.empty()) {
            ComPtr<IEtsStandardCommObject> standard;
            std::int32_t unique = -1;
            if (SUCCEEDED(object->get_StandardObject(standard.GetAddressOf())) && standard &&
                SUCCEEDED(standard->get_UniqueNumber(&unique)) && listed.count(unique))
                ApplyStandardFlags(object, standard.Get());
        }
        if (!visible)
            return;
        shown[number] = true;
        if (record)
            writer.Types(object, *record);
        ComPtr<IEtsAssociations> associations;
        if (FAILED(object->get_Associations(associations.GetAddressOf())) || !associations) {
            TRACE_MSG(TRACE_ERROR, "ObjectNr = %d", static_cast<int>(number));
            return;
        }
        static const std::string kNone;
        const std::string& addresses = record ? record->addresses : kNone;
        // Associations that are already the file's stay as they are.
        std::vector<std::string> unparsed;
        if (auto present = AssociatedAddresses(associations.Get());
            present && *present == ObjectRecordWriter::Parse(addresses, unparsed)) {
            // Reported as Associate reports them.
            for (const std::string& token : unparsed)
                writer.Fail(std::to_string(number) + ":" + token);
            return;
        }
        DeleteAllAssociations(associations.Get(), number);
        writer.Associate(object, number, associations.Get(), addresses);
    });
    for (const auto& [number, record] : map)
        if (!record.addresses.empty() && !shown[number])
            writer.Fail(std::to_string(number) + ":" + record.addresses);
    m_listNonStandardObjects.clear();
}

void CEtsDbManagement::DeleteDeviceObjectAssociations()
{
    TRACE_ENTRY();
    ForEachCommObject(GetDevice(), true, ObjectItemFailure::SkipsObject, [](IEtsCommObject* object) {
        ComPtr<IEtsAssociations> associations;
        std::uint16_t number = 0;
        object->get_Number(&number);
        if (SUCCEEDED(object->get_Associations(associations.GetAddressOf())) && associations)
            DeleteAllAssociations(associations.Get(), number);
    });
}

bool CEtsDbManagement::CanChangeValueAfterCheckObjectAssociations(UniqueNr uniqueNr)
{
    TRACE_ENTRY();
    return !CheckParameterDependentObjectAssociations(uniqueNr) || ConfirmDeletingAssociations();
}

bool CEtsDbManagement::CanChangeValueAfterCheckObjectAssociations(const std::vector<UniqueNr>& uniqueNrs)
{
    TRACE_ENTRY();
    for (UniqueNr n : uniqueNrs)
        if (CheckParameterDependentObjectAssociations(n))
            return ConfirmDeletingAssociations();
    return true;
}

namespace {

// "[n] label" on the progress box's second line.
std::string Numbered(int n, const std::string& label)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "[%d] ", n);
    return buf + label;
}

} // namespace

void CEtsDbManagement::ResetAllParameters(bool createFirstGroup, IProgress* progress)
{
    TRACE_ENTRY();
    if (progress) {
        progress->Open(GetParameterText(825, "Reset"), GetParameterText(891, ""));
        progress->Stage(GetLabel(LabelGeneral));
    }
    DeleteDeviceObjectAssociations();
    ResetParameterValues(progress);
    if (createFirstGroup)
        CreateGroup(1);
    if (progress)
        progress->Stage(GetLabel(LabelObjects));
    ResetObjectFlags();
    if (progress)
        progress->Close();
}

void CEtsDbManagement::ResetParameterValues(IProgress* progress)
{
    TRACE_ENTRY();
    auto stage = [&](const std::string& text) {
        if (progress)
            progress->Stage(text);
    };
    ResetDependentParameters(700, false);
    stage(GetLabel(LabelManualControl));
    ResetDependentParameters(701, false);
    for (int g = 1; g <= kGroupCount; ++g) {
        if (!GroupExists(g))
            continue;
        stage(Numbered(g, GetLabel(LabelGroup)));
        ResetGroupParameters(g);
    }
    for (int s = 1; s <= kSingleCount; ++s) {
        if (!SingleExists(s))
            continue;
        stage(Numbered(s, GetLabel(LabelMember)));
        ResetGroupParameters(s + kGroupCount);
    }
    stage(GetLabel(LabelGroups));
    for (UniqueNr n : {760, 761, 762, 763, 764})
        ResetParameter(n);
    for (int s = 1; s <= kSceneCount; ++s) {
        if (!SceneExists(s))
            continue;
        stage(Numbered(s, GetLabel(LabelScene)));
        ResetSceneParameters(s);
    }
    stage(GetLabel(LabelScenes));
    ResetParameter(param::kSceneSettings);
    ResetParameter(param::kSceneObjectDisabled);
    for (int m = 1; m <= kMemberCount; ++m) {
        stage(Numbered(m, GetLabel(LabelMember)));
        ResetMemberParameters(m, true);
    }
    for (int e = 1; e <= kEffectCount; ++e) {
        if (!EffectExists(e))
            continue;
        stage(Numbered(e, GetLabel(LabelEffect)));
        // The table is saved once, after the last effect.
        DeleteEffect(e, false);
    }
    stage(GetLabel(LabelEffects));
    SaveEffectValues();
    // The table keeps words beyond its fill level; a reset leaves none of them behind.
    for (int i = 0; i < (kEffectValueCount + 3) / 4; ++i)
        ResetParameter(GetEffectUniqueNr(param::kEffectTable, i));
    ResetParameter(param::kEffectObjectDisabled);
    LoadBufferedParameters();
}
