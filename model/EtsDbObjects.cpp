// Communication object flags, group address associations and the reset of the whole configuration.
#include "model/CommObjectWalk.h"
#include "model/EtsDbManagement.h"
#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <cstdio>
#include <map>

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

} // namespace

void CEtsDbManagement::CollectVisibleNonStandardObjects()
{
    TRACE_ENTRY();
    m_listNonStandardObjects.clear();
    ForEachCommObject(GetDevice(), true, ObjectItemFailure::EndsWalk, [this](IEtsCommObject* object) {
        ComPtr<IEtsStandardCommObject> standard;
        if (FAILED(object->get_StandardObject(standard.GetAddressOf())) || !standard)
            return;
        std::int32_t priority = 0, standardPriority = 0;
        bool differs = SUCCEEDED(object->get_Priority(&priority)) &&
                       SUCCEEDED(standard->get_Priority(&standardPriority)) && priority != standardPriority;
        for (EtsObjectFlag flag : kFlags) {
            if (differs)
                break;
            std::int16_t on = 0, standardOn = 0;
            differs = SUCCEEDED(object->get_Flag(flag, &on)) &&
                      SUCCEEDED(standard->get_Flag(flag, &standardOn)) && (on != 0) != (standardOn != 0);
        }
        if (!differs)
            return;
        std::uint16_t number = 0;
        std::int32_t unique = -1;
        standard->get_Number(&number);
        TRACE_MSG(TRACE_INFO, "ObjectNr = %d", static_cast<int>(number));
        if (SUCCEEDED(standard->get_UniqueNumber(&unique)) && unique >= 0)
            m_listNonStandardObjects.push_back(unique);
    });
}

namespace {

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

} // namespace

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

void CEtsDbManagement::SetDeviceObjectAssociations(const ObjectAssociationMap& map, std::string* failures)
{
    TRACE_ENTRY();
    ComPtr<IEtsProject> project;
    if (!GetDevice() || FAILED(GetDevice()->get_Project(project.GetAddressOf())) || !project)
        return;
    ComPtr<IEtsCollection<IEtsDatapointType>> types;
    if (FAILED(project->get_DatapointTypes(types.GetAddressOf())))
        types.Reset();
    ComPtr<IEtsCollection<IEtsGroupAddress>> addresses;
    ComPtr<IEtsMainGroupList> mainGroups;
    project->get_GroupAddresses(addresses.GetAddressOf());
    project->get_MainGroups(mainGroups.GetAddressOf());

    auto fail = [&](const std::string& entry) {
        if (!failures)
            return;
        if (!failures->empty())
            *failures += ", ";
        *failures += entry;
    };
    std::map<std::int16_t, ComPtr<IEtsDatapointType>> typeCache;
    std::map<std::pair<std::int16_t, std::int16_t>, ComPtr<IEtsDatapointSubtype>> subtypeCache;
    ForEachCommObject(GetDevice(), true, ObjectItemFailure::SkipsObject, [&](IEtsCommObject* object) {
        std::uint16_t number = 0;
        if (FAILED(object->get_Number(&number)))
            return;
        auto found = map.find(number);
        if (found == map.end())
            return;
        const ObjectAssociationRecord& record = found->second;
        if (record.flags >= 0) {
            object->put_Priority(record.flags & 3);
            for (std::size_t f = 0; f < std::size(kFlags); ++f)
                object->put_Flag(kFlags[f], static_cast<std::int16_t>((record.flags >> kFlagBits[f]) & 1));
        }
        if (record.mainType >= 0 && types) {
            // Many objects share a type: each is looked up once.
            auto [typeIt, newType] = typeCache.try_emplace(record.mainType);
            if (newType)
                typeIt->second = FindByQuery(types.Get(), "$(ID)=" + std::to_string(record.mainType));
            if (const ComPtr<IEtsDatapointType>& type = typeIt->second) {
                object->put_DatapointType(type.Get());
                if (record.subType >= 0) {
                    auto [subIt, newSub] = subtypeCache.try_emplace({record.mainType, record.subType});
                    ComPtr<IEtsCollection<IEtsDatapointSubtype>> subtypes;
                    if (newSub && SUCCEEDED(type->get_Subtypes(subtypes.GetAddressOf())))
                        subIt->second =
                            FindByQuery(subtypes.Get(), "$(ID)=" + std::to_string(record.subType));
                    if (subIt->second)
                        object->put_DatapointSubtype(subIt->second.Get());
                }
            }
        }
        ComPtr<IEtsAssociations> associations;
        if (FAILED(object->get_Associations(associations.GetAddressOf())) || !associations) {
            TRACE_MSG(TRACE_ERROR, "ObjectNr = %d", static_cast<int>(number));
            return;
        }
        // The object's texts name a group address it creates.
        std::string text, function;
        bool texts = false;
        std::size_t begin = 0;
        while (begin <= record.addresses.size() && !record.addresses.empty()) {
            std::size_t comma = record.addresses.find(',', begin);
            const std::string token = record.addresses.substr(
                begin, comma == std::string::npos ? std::string::npos : comma - begin);
            begin = comma == std::string::npos ? record.addresses.size() + 1 : comma + 1;
            long a = 0;
            if (!ParseGroupAddress(token, a)) {
                // Not a group address: reported as given, never handed to the host's query.
                fail(std::to_string(number) + ":" + token);
                continue;
            }
            const long main = (a >> 11) & 0x1F, middle = (a >> 8) & 0x07, sub = a & 0xFF;
            const std::string normalised = std::to_string(a);
            auto address = FindByQuery(addresses.Get(), "$(GroupAddress)='" + normalised + "'");
            if (!address && mainGroups) {
                TRACE_MSG(TRACE_INFO, "ObjectNr = %d: Creating GroupAddress = %s", static_cast<int>(number),
                          normalised.c_str());
                auto mainGroup =
                    FindByQuery<IEtsMainGroup>(mainGroups.Get(), "$(Address)='" + std::to_string(main) + "'");
                if (!mainGroup)
                    mainGroups->Add(static_cast<std::int32_t>(main), "", mainGroup.GetAddressOf());
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
                fail(FailedAddress(GetGroupAddressLevels(), number, main, middle, sub));
        }
    });
}

void CEtsDbManagement::DeleteDeviceObjectAssociations()
{
    TRACE_ENTRY();
    ForEachCommObject(GetDevice(), true, ObjectItemFailure::SkipsObject, [](IEtsCommObject* object) {
        ComPtr<IEtsAssociations> associations;
        std::int32_t associationCount = 0;
        std::uint16_t number = 0;
        object->get_Number(&number);
        if (FAILED(object->get_Associations(associations.GetAddressOf())) || !associations ||
            FAILED(associations->get_Count(&associationCount)))
            return;
        for (std::int32_t a = 0; a < associationCount; ++a) {
            if (HRESULT hr = associations->Delete(Variant::I4(1)); FAILED(hr)) {
                TRACE_HR_MSG(TRACE_ERROR, hr, "ObjectNr = %d", static_cast<int>(number));
                break;
            }
        }
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

void CEtsDbManagement::ResetAllParameters(bool createFirstGroup, IProgress* progress)
{
    TRACE_ENTRY();
    auto stage = [&](const std::string& text) {
        if (progress)
            progress->Stage(text);
    };
    auto numbered = [](int n, const std::string& label) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "[%d] ", n);
        return buf + label;
    };
    if (progress)
        progress->Open(GetParameterText(825, "Reset"), GetParameterText(891, ""));
    stage(GetLabel(LabelGeneral));
    DeleteDeviceObjectAssociations();
    ResetDependentParameters(700, false);
    stage(GetLabel(LabelManualControl));
    ResetDependentParameters(701, false);
    for (int g = 1; g <= kGroupCount; ++g) {
        if (!GroupExists(g))
            continue;
        stage(numbered(g, GetLabel(LabelGroup)));
        ResetGroupParameters(g);
    }
    for (int s = 1; s <= kSingleCount; ++s) {
        if (!SingleExists(s))
            continue;
        stage(numbered(s, GetLabel(LabelMember)));
        ResetGroupParameters(s + kGroupCount);
    }
    stage(GetLabel(LabelGroups));
    for (UniqueNr n : {760, 761, 762, 763, 764})
        ResetParameter(n);
    for (int s = 1; s <= kSceneCount; ++s) {
        if (!SceneExists(s))
            continue;
        stage(numbered(s, GetLabel(LabelScene)));
        ResetSceneParameters(s);
    }
    stage(GetLabel(LabelScenes));
    ResetParameter(param::kSceneSettings);
    ResetParameter(param::kSceneObjectDisabled);
    for (int m = 1; m <= kMemberCount; ++m) {
        stage(numbered(m, GetLabel(LabelMember)));
        ResetMemberParameters(m, true);
    }
    for (int e = 1; e <= kEffectCount; ++e) {
        if (!EffectExists(e))
            continue;
        stage(numbered(e, GetLabel(LabelEffect)));
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
    if (createFirstGroup)
        CreateGroup(1);
    stage(GetLabel(LabelObjects));
    ResetObjectFlags();
    if (progress)
        progress->Close();
}
