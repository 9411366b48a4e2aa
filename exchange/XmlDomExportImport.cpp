#include "exchange/XmlDomExportImport.h"

#include "product/ParameterNumbers.h"
#include "trace/DebugTrace.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <set>

std::optional<std::uint16_t> MapPreviousObjectNr(std::int32_t n,
                                                 const std::function<std::int32_t(UniqueNr)>& readLong)
{
    auto second = [&](int groupNr) {
        return readLong && readLong(GetGroupUniqueNr(param::kGroupAdditionalFunction, groupNr)) == 2;
    };
    if (n >= 0 && n <= 111) {
        const int b = n / 7, k = n % 7;
        if (k <= 5)
            return static_cast<std::uint16_t>(b * 13 + k + 1);
        return static_cast<std::uint16_t>(b * 13 + (second(b + 1) ? 13 : 12));
    }
    if (n >= 112 && n <= 207) {
        // These objects belong to group b + 17, and so does the parameter that chooses.
        const int m = n - 112, b = m / 6, k = m % 6;
        if (k <= 4)
            return static_cast<std::uint16_t>((b + 16) * 13 + k + 1);
        return static_cast<std::uint16_t>((b + 16) * 13 + (second(b + 17) ? 13 : 12));
    }
    switch (n) {
    case 208:
        return 1505;
    case 210:
        return 1543;
    case 211:
        return 1525;
    case 212:
        return 1527;
    case 213:
        return 1528;
    case 214:
        return 1529;
    case 215:
        return 1530;
    default:
        return std::nullopt;
    }
}

CXmlDomExportImport::CXmlDomExportImport(CEtsDbManagement& model, IUserPrompt* prompt, IProgressBox* progress,
                                         IExchangeView* view)
    : m_model(model), m_pProgress(progress), m_pView(view)
{
    SetPrompt(prompt);
    SetMessageText(m_model.GetParameterString(949, ""));
}

bool CXmlDomExportImport::Fail(const std::string& text)
{
    if (m_strError.empty())
        m_strError = text;
    return false;
}

std::string CXmlDomExportImport::Where(XmlNode node) const
{
    const auto [line, column] = GetNodePosition(node);
    return line > 0 ? "line " + std::to_string(line) + ": " : std::string{};
}

std::string CXmlDomExportImport::Numbered(int number, ELabel label) const
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "[%d] ", number);
    return buf + m_model.GetLabel(label);
}

void CXmlDomExportImport::Stage(const std::string& text)
{
    if (m_pProgress)
        m_pProgress->SetInfoText2(text);
}

// ---- Export -------------------------------------------------------------------------------------

bool CXmlDomExportImport::ExportXmlFile(const std::string& fileName)
{
    TRACE_ENTRY();
    m_strError.clear();
    if (FAILED(CreateXmlDomDocument()))
        return Fail("No XML document can be created.");
    if (m_pProgress)
        m_pProgress->Show(ProgressKind::TextOnly, m_model.GetParameterText(812, "Export"),
                          m_model.GetParameterText(890, "Parameters"), m_model.GetLabel(LabelGeneral), "");
    auto finish = [&](bool ok) {
        if (m_pProgress)
            m_pProgress->Close();
        return ok;
    };
    XmlNode root;
    if (FAILED(CreateHeader()) || FAILED(CreateElement("Veltrona", root)) || FAILED(AddElement2Root(root)))
        return finish(Fail("The XML document cannot be built."));

    AddDeviceApplicationInfos(root);
    AddExportCommon(root);
    Stage(m_model.GetLabel(LabelManualControl));
    AddExportManualOperation(root);
    Stage(m_model.GetLabel(LabelGroups));
    AddExportGroups(root);
    for (int n = 1; n <= kGroupCount; ++n) {
        Stage(Numbered(n, LabelGroup));
        AddExportGroup(root, n);
    }
    for (int s = 1; s <= kSingleCount; ++s) {
        Stage(Numbered(s, LabelMember));
        AddExportGroup(root, kGroupCount + s);
    }
    for (int s = 1; s <= kSceneCount; ++s) {
        Stage(Numbered(s, LabelScene));
        AddExportScene(root, s);
    }
    Stage(m_model.GetLabel(LabelEffects));
    AddExportEffects(root);
    for (int e = 1; e <= kEffectCount; ++e) {
        Stage(Numbered(e, LabelEffect));
        AddExportEffect(root, e);
    }
    Stage(m_model.GetLabel(LabelCommissioning));
    AddExportCommissioning(root);
    Stage(m_model.GetLabel(LabelObjects));
    AddExportObjectAssociations(root);

    if (FAILED(SaveXmlDocument(fileName)))
        return finish(Fail("The file '" + fileName + "' cannot be written."));
    return finish(true);
}

bool CXmlDomExportImport::AddDeviceApplicationInfos(XmlNode root)
{
    TRACE_ENTRY();
    std::int32_t manufacturer = 0, application = 0, version = 0;
    if (!m_model.GetDeviceInfosFromEtsDb(manufacturer, application, version))
        return false;
    XmlNode info;
    if (FAILED(CreateChildElement(root, "DeviceInfo", info)))
        return false;
    return SUCCEEDED(AppendValueElement(info, "Application", Variant::I4(application))) &&
           SUCCEEDED(AppendValueElement(info, "Version", Variant::I4(static_cast<std::int16_t>(version)))) &&
           SUCCEEDED(AppendValueElement(info, "Manufacturer", Variant::I4(manufacturer)));
}

bool CXmlDomExportImport::AddExportParameters(XmlNode parent, const std::string& name, UniqueNr uniqueNr)
{
    TRACE_ENTRY();
    XmlNode element;
    if (FAILED(CreateChildElement(parent, name, element)))
        return false;
    // The parameter and all below it, ascending by number.
    m_model.VisitAllParameterValues(
        uniqueNr, [&](UniqueNr number, const Variant& value) { AddExportParameter(element, number, value); });
    return true;
}

bool CXmlDomExportImport::AddExportParameter(XmlNode parent, UniqueNr uniqueNr, const Variant& value)
{
    if (value.IsEmptyOrNull())
        return false;
    TRACE_MSG(TRACE_INFO, "UniqueNr = %ld", static_cast<long>(uniqueNr));
    return SUCCEEDED(AppendValueElement(parent, "Parameter", "UniqueNr", uniqueNr, value));
}

void CXmlDomExportImport::AddExportCommon(XmlNode root)
{
    TRACE_ENTRY();
    if (!AddExportParameters(root, "Common", 700))
        return;
    XmlNode common = root.last_child();
    for (UniqueNr n : {param::kSceneObjectDisabled, param::kEffectObjectDisabled}) {
        Variant value;
        if (SUCCEEDED(m_model.GetParameterValue(n, value)))
            AddExportParameter(common, n, value);
    }
}

void CXmlDomExportImport::AddExportManualOperation(XmlNode root)
{
    TRACE_ENTRY();
    AddExportParameters(root, "ManualOperation", 701);
}

void CXmlDomExportImport::AddExportGroups(XmlNode root)
{
    TRACE_ENTRY();
    XmlNode groups;
    if (FAILED(CreateChildElement(root, "Groups", groups)))
        return;
    for (UniqueNr n : {760, 761, 762, 763, 764}) {
        Variant value;
        if (SUCCEEDED(m_model.GetParameterValue(n, value)))
            AddExportParameter(groups, n, value);
    }
}

void CXmlDomExportImport::AddExportGroup(XmlNode root, int groupNr)
{
    TRACE_ENTRY();
    if (!m_model.GroupExists(groupNr))
        return;
    TRACE_MSG(TRACE_INFO, "GroupNr = %d", groupNr);
    const std::string name = groupNr <= kGroupCount ? "Group" + std::to_string(groupNr)
                                                    : "Single" + std::to_string(groupNr - kGroupCount);
    AddExportParameters(root, name, GetGroupUniqueNr(param::kGroupExists, groupNr));
}

void CXmlDomExportImport::AddExportScene(XmlNode root, int sceneNr)
{
    TRACE_ENTRY();
    if (!m_model.SceneExists(sceneNr))
        return;
    TRACE_MSG(TRACE_INFO, "SceneNr = %d", sceneNr);
    AddExportParameters(root, "Scene" + std::to_string(sceneNr),
                        GetSceneUniqueNr(param::kSceneExists, sceneNr));
}

void CXmlDomExportImport::AddExportEffects(XmlNode root)
{
    TRACE_ENTRY();
    XmlNode effects;
    if (FAILED(CreateChildElement(root, "Effects", effects)))
        return;
    const int words = (m_model.GetEffectValueCount() + 3) / 4;
    for (int i = 0; i < words; ++i) {
        Variant value;
        if (SUCCEEDED(m_model.GetParameterValue(GetEffectUniqueNr(param::kEffectTable, i), value)))
            AddExportParameter(effects, GetEffectUniqueNr(param::kEffectTable, i), value);
    }
}

void CXmlDomExportImport::AddExportEffect(XmlNode root, int effectNr)
{
    TRACE_ENTRY();
    if (!m_model.EffectExists(effectNr))
        return;
    TRACE_MSG(TRACE_INFO, "EffectNr = %d", effectNr);
    AddExportParameters(root, "Effect" + std::to_string(effectNr),
                        GetEffectUniqueNr(param::kEffectExists, effectNr));
}

void CXmlDomExportImport::AddExportCommissioning(XmlNode root)
{
    TRACE_ENTRY();
    AddExportParameters(root, "DaliCommissioning", 705);
}

void CXmlDomExportImport::AddExportObjectAssociations(XmlNode root)
{
    TRACE_ENTRY();
    XmlNode objects;
    if (FAILED(CreateChildElement(root, "Objects", objects)))
        return;
    ObjectAssociationMap map;
    m_model.GetDeviceObjectAssociations(map);
    for (const auto& [number, record] : map) {
        CXmlElementAttribute attributes;
        attributes.add("ObjectNr", number);
        attributes.add("Flags", record.flags);
        if (record.mainType >= 0) {
            attributes.add("MainType", record.mainType);
            if (record.subType >= 0)
                attributes.add("SubType", record.subType);
        }
        AppendValueElement(objects, "Object", attributes, Variant::String(record.addresses));
    }
}

// ---- Import -------------------------------------------------------------------------------------

bool CXmlDomExportImport::CheckDeviceApplicationInfos(XmlNode root)
{
    TRACE_ENTRY();
    std::int32_t application = 0, manufacturer = 0;
    std::int16_t version = 0;
    if (XmlNode info = root.child("DeviceInfo")) {
        Variant value;
        if (XmlNode n = info.child("Application"); n && SUCCEEDED(GetNodeValue(n, value)))
            CEtsAccess::ChangeVariantToLong(value, application);
        std::uint16_t v = 0;
        if (XmlNode n = info.child("Version");
            n && SUCCEEDED(GetNodeValue(n, value)) && SUCCEEDED(CEtsAccess::ChangeVariantToShort(value, v)))
            version = static_cast<std::int16_t>(v);
        if (XmlNode n = info.child("Manufacturer"); n && SUCCEEDED(GetNodeValue(n, value)))
            CEtsAccess::ChangeVariantToLong(value, manufacturer);
    }
    std::int32_t deviceManufacturer = 0, deviceApplication = 0, deviceVersion = 0;
    m_model.GetDeviceInfosFromEtsDb(deviceManufacturer, deviceApplication, deviceVersion);
    char text[160];
    if (manufacturer != deviceManufacturer) {
        TRACE_MSG(TRACE_ERROR, "Imported ManufacturerID = %ld <> %ld", static_cast<long>(manufacturer),
                  static_cast<long>(deviceManufacturer));
        std::snprintf(text, sizeof text, "the file is of manufacturer %ld, the gateway of manufacturer %ld",
                      static_cast<long>(manufacturer), static_cast<long>(deviceManufacturer));
        return Fail(std::string("Unknown file format: ") + text + ".");
    }
    if (application == deviceApplication) {
        m_nFileFormat = 3;
        if (version > static_cast<std::int16_t>(deviceVersion))
            TRACE_MSG(TRACE_WARNING, "Imported Version = $%02X > $%02X", static_cast<unsigned>(version),
                      static_cast<unsigned>(deviceVersion));
        return true;
    }
    if (application == kPreviousApplication) {
        m_nFileFormat = 2;
        return true;
    }
    TRACE_MSG(TRACE_ERROR, "Imported DeviceType = $%04lX <> $%04lX",
              static_cast<unsigned long>(static_cast<std::uint32_t>(application)),
              static_cast<unsigned long>(static_cast<std::uint32_t>(deviceApplication)));
    std::snprintf(text, sizeof text, "the file is of application $%04lX, the gateway's is $%04lX",
                  static_cast<unsigned long>(static_cast<std::uint32_t>(application)),
                  static_cast<unsigned long>(static_cast<std::uint32_t>(deviceApplication)));
    return Fail(std::string("Unknown file format: ") + text + ".");
}

void CXmlDomExportImport::NotTaken(XmlNode where, const std::string& what)
{
    TRACE_MSG(TRACE_ERROR, "%s", what.c_str());
    m_notTaken.push_back(Where(where) + what);
}

std::string CXmlDomExportImport::GetNotTakenText(std::size_t limit) const
{
    std::string text;
    for (std::size_t i = 0; i < m_notTaken.size() && i < limit; ++i)
        text += (i ? "\n" : "") + m_notTaken[i];
    if (m_notTaken.size() > limit)
        text += "\n... and " + std::to_string(m_notTaken.size() - limit) + " more";
    return text;
}

namespace {

const std::string kUniqueNr = "UniqueNr";

// The number of a parameter element whose first attribute is UniqueNr with up to nine digits, as an
// export writes it; anything else is left to the attribute rules.
bool PlainUniqueNr(XmlNode element, std::int32_t& number)
{
    const pugi::xml_attribute first = element.first_attribute();
    if (!first || std::strcmp(first.name(), "UniqueNr") != 0)
        return false;
    const char* digits = first.value();
    std::int32_t value = 0;
    int count = 0;
    for (; digits[count] >= '0' && digits[count] <= '9'; ++count) {
        if (count == 9)
            return false;
        value = value * 10 + (digits[count] - '0');
    }
    if (count == 0 || digits[count] != 0)
        return false;
    number = value;
    return true;
}

// A value text as the variant the host takes it as: a decimal in the form an export writes as a
// number (the host makes the same text of it for a text parameter), anything else as the text.
Variant ValueOfText(std::string_view text)
{
    const bool negative = text.starts_with('-');
    const std::string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty() || digits.size() > 10 || (digits[0] == '0' && (digits.size() > 1 || negative)))
        return Variant::String(text);
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9')
            return Variant::String(text);
        value = value * 10 + (c - '0');
    }
    if (negative)
        value = -value;
    if (value >= INT32_MIN && value <= INT32_MAX)
        return Variant::I4(static_cast<std::int32_t>(value));
    if (value > 0 && value <= UINT32_MAX)
        return Variant::UI4(static_cast<std::uint32_t>(value));
    return Variant::String(text);
}

} // namespace

bool CXmlDomExportImport::GetNodeDependentValueElements(XmlNode section, PlannedSection& planned)
{
    // Walked by sibling: each step of pugixml's iterator is three calls into the library.
    for (XmlNode child = section.first_child(); child; child = child.next_sibling()) {
        if (child.type() != pugi::node_element || std::strcmp(child.name(), "Parameter") != 0)
            continue;
        std::int32_t number = 0;
        if (!PlainUniqueNr(child, number) && GetNodeValueAttribute(child, kUniqueNr, &number) != S_OK) {
            NotTaken(child, "a Parameter without a valid UniqueNr");
            continue;
        }
        IEtsDeviceParameter* parameter = m_model.GetDeviceParameterPointer(number);
        if (!parameter) {
            TRACE_MSG(TRACE_ERROR, "Parameter %ld: no such parameter", static_cast<long>(number));
            m_unknownParameters.push_back(number);
            continue;
        }
        // The text stays in the document until the import ends.
        const std::string_view text = child.child_value();
        if (text.size() > kMaxValueLength) {
            NotTaken(child, "parameter " + std::to_string(number) + ": a value of " +
                                std::to_string(text.size()) + " bytes (at most " +
                                std::to_string(kMaxValueLength) + ")");
            continue;
        }
        if (text.empty()) {
            // An empty text is a text parameter's value; for any other parameter there is nothing to write.
            Variant current;
            if (FAILED(parameter->get_Value(&current)) || current.vt() != VT_BSTR) {
                TRACE_MSG(TRACE_ERROR, "Parameter %ld: empty", static_cast<long>(number));
                continue;
            }
        }
        planned.values.emplace_back(number, text);
    }
    return true;
}

bool CXmlDomExportImport::GetObjectAssociationsElements(XmlNode objects, bool withGroupAddresses,
                                                        PlannedSection& planned)
{
    for (XmlNode child : objects.children()) {
        if (child.type() != pugi::node_element || std::string_view(child.name()) != "Object")
            continue;
        PlannedObject object;
        if (GetNodeValueAttribute(child, "ObjectNr", &object.objectNr) != S_OK || object.objectNr < 0 ||
            object.objectNr > 0xFFFF) {
            NotTaken(child, "an Object without a valid ObjectNr");
            continue;
        }
        if (m_nFileFormat < 3 && !MapPreviousObjectNr(object.objectNr, nullptr)) {
            TRACE_MSG(TRACE_ERROR, "Unknown R2 ObjectNr = %ld", static_cast<long>(object.objectNr));
            m_unmappedObjects.push_back(object.objectNr);
            continue;
        }
        auto readShort = [&](const char* name, std::int16_t& target) {
            std::int32_t v = 0;
            HRESULT hr = GetNodeValueAttribute(child, name, &v);
            if (hr == S_FALSE)
                return true;
            if (hr != S_OK || v < -32768 || v > 32767)
                return false;
            target = static_cast<std::int16_t>(v);
            return true;
        };
        bool ok = readShort("Flags", object.record.flags);
        // A subtype only counts with its main type.
        if (ok && child.attribute("MainType")) {
            ok = readShort("MainType", object.record.mainType);
            ok = ok && readShort("SubType", object.record.subType);
        }
        if (!ok) {
            NotTaken(child, "object " + std::to_string(object.objectNr) +
                                ": flags or a datapoint type that is no number");
            continue;
        }
        if (withGroupAddresses) {
            Variant value;
            if (FAILED(GetNodeValue(child, value))) {
                NotTaken(child, "object " + std::to_string(object.objectNr) + ": unreadable addresses");
                continue;
            }
            object.record.addresses = value.bstrVal();
            if (object.record.addresses.size() > kMaxValueLength) {
                NotTaken(child, "object " + std::to_string(object.objectNr) + ": an address list of " +
                                    std::to_string(object.record.addresses.size()) + " bytes (at most " +
                                    std::to_string(kMaxValueLength) + ")");
                continue;
            }
        }
        planned.objectList.push_back(std::move(object));
    }
    return true;
}

bool CXmlDomExportImport::PlanImport(XmlNode root, bool withGroupAddresses, std::vector<PlannedSection>& plan)
{
    for (XmlNode child : root.children()) {
        if (child.type() != pugi::node_element)
            continue;
        PlannedSection section;
        section.name = child.name();
        if (section.name == "DeviceInfo")
            continue;
        section.objects = section.name == "Objects";
        // Every Parameter carries its own number: a section of any other name is read the same way.
        if (section.objects)
            GetObjectAssociationsElements(child, withGroupAddresses, section);
        else
            GetNodeDependentValueElements(child, section);
        plan.push_back(std::move(section));
    }
    // Numbers without a counterpart are named together, each once, ascending.
    auto listed = [this](std::vector<std::int32_t>& numbers, const std::string& what) {
        if (numbers.empty())
            return;
        std::sort(numbers.begin(), numbers.end());
        numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
        std::string text = what;
        for (std::size_t i = 0; i < numbers.size(); ++i)
            text += (i ? ", " : " ") + std::to_string(numbers[i]);
        m_notTaken.insert(m_notTaken.begin(), text);
    };
    listed(m_unknownParameters, m_nFileFormat < 3
                                    ? "parameters of the previous generation without a counterpart:"
                                    : "parameters this gateway does not have:");
    listed(m_unmappedObjects, "objects of the previous generation without a counterpart:");
    return true;
}

void CXmlDomExportImport::ShowSection(const std::string& name)
{
    if (!m_pProgress)
        return;
    static const std::pair<const char*, ELabel> kFixed[] = {{"Common", LabelGeneral},
                                                            {"ManualOperation", LabelManualControl},
                                                            {"Groups", LabelGroups},
                                                            {"DaliCommissioning", LabelCommissioning},
                                                            {"Objects", LabelObjects}};
    static const std::pair<const char*, ELabel> kNumbered[] = {
        {"Group", LabelGroup}, {"Single", LabelMember}, {"Scene", LabelScene}, {"Effect", LabelEffect}};
    for (const auto& [word, label] : kFixed)
        if (name == word)
            return Stage(m_model.GetLabel(label));
    for (const auto& [word, label] : kNumbered) {
        const std::string_view w(word);
        if (name.size() > w.size() && name.starts_with(w) &&
            std::isdigit(static_cast<unsigned char>(name[w.size()]))) {
            int number = 0;
            for (std::size_t i = w.size();
                 i < name.size() && i < w.size() + 6 && std::isdigit(static_cast<unsigned char>(name[i]));
                 ++i)
                number = number * 10 + (name[i] - '0');
            return Stage(Numbered(number, label));
        }
    }
    Stage("");
}

void CXmlDomExportImport::MemberPass()
{
    for (int m = 1; m <= kMemberCount; ++m)
        if (m_model.IsMemberUsed(m) && m_model.GetMemberRandomNr(m) != 0)
            m_model.SetMemberAssigned(m, true);
}

void CXmlDomExportImport::ApplyObjects(const PlannedSection& section, bool inPlace)
{
    if (m_nFileFormat < 3) {
        const std::int32_t a = m_model.GetParameterLong(param::kAckDeviceState, 0),
                           b = m_model.GetParameterLong(param::kAckDeviceStateDataWidth, 0);
        const std::int32_t mode = a == 0 ? 0 : (b == 0 ? 3 : b == 1 ? 1 : 5) + (a == 2 ? 1 : 0);
        m_model.SetParameterLong(param::kAckDeviceStateObjectValue, mode);
        // The member tables see the parameters written so far.
        m_model.LoadBufferedParameters();
        MemberPass();
    }
    auto readLong = [this](UniqueNr n) {
        return m_model.GetParameterLong(n, 0);
    };
    ObjectAssociationMap map;
    for (const PlannedObject& object : section.objectList) {
        std::optional<std::uint16_t> number = static_cast<std::uint16_t>(object.objectNr);
        if (m_nFileFormat < 3)
            number = MapPreviousObjectNr(object.objectNr, readLong);
        if (number)
            map.emplace(*number, object.record);
    }
    std::string failures;
    if (inPlace) {
        m_model.ReplaceDeviceObjectAssociations(map, &failures);
    } else {
        m_model.SetDeviceObjectAssociations(map, &failures);
        AddHiddenObjectFailures(map, failures);
    }
    if (!failures.empty()) {
        if (!m_strFailures.empty())
            m_strFailures += ", ";
        m_strFailures += failures;
    }
}

void CXmlDomExportImport::AddHiddenObjectFailures(const ObjectAssociationMap& map, std::string& failures)
{
    // Addresses of an object the configuration does not show cannot be associated either.
    std::set<std::uint16_t> visible;
    ComPtr<IEtsCollection<IEtsCommObject>> list;
    std::int32_t count = 0;
    if (m_model.GetDevice() && SUCCEEDED(m_model.GetDevice()->get_CommObjects(1, list.GetAddressOf())) &&
        list && SUCCEEDED(list->get_Count(&count))) {
        for (std::int32_t i = 1; i <= count; ++i) {
            ComPtr<IEtsCommObject> object;
            std::uint16_t number = 0;
            if (SUCCEEDED(list->Item(Variant::I4(i), object.GetAddressOf())) && object &&
                SUCCEEDED(object->get_Number(&number)))
                visible.insert(number);
        }
    }
    for (const auto& [number, record] : map) {
        if (record.addresses.empty() || visible.count(number))
            continue;
        if (!failures.empty())
            failures += ", ";
        failures += std::to_string(number) + ":" + record.addresses;
    }
}

bool CXmlDomExportImport::ReadImportFile(const std::string& fileName, bool withGroupAddresses)
{
    TRACE_ENTRY();
    m_nFileFormat = 0;
    m_strError.clear();
    m_strFailures.clear();
    m_notTaken.clear();
    m_unknownParameters.clear();
    m_unmappedObjects.clear();
    m_plan.clear();
    if (!ReadXmlFile(fileName))
        return Fail(GetLoadError());
    XmlNode root = GetDocumentElement();
    if (!root) {
        TRACE_HR(TRACE_ERROR, E_POINTER);
        return Fail("The file '" + fileName + "' holds no element.");
    }
    if (!CheckDeviceApplicationInfos(root)) {
        if (m_pPrompt)
            m_pPrompt->Ask("Veltrona", m_model.GetParameterString(950, "Unknown file format"),
                           PromptButtons::Ok, PromptIcon::Error);
        return Fail("Unknown file format.");
    }
    return PlanImport(root, withGroupAddresses, m_plan);
}

bool CXmlDomExportImport::ImportXmlFile(const std::string& fileName, bool withGroupAddresses)
{
    TRACE_ENTRY();
    // The whole file is read before the first change.
    if (!ReadImportFile(fileName, withGroupAddresses))
        return false;
    const std::vector<PlannedSection>& plan = m_plan;

    // A reset whose values the file replaces need not write them, and objects whose settings a reset
    // would give back can stay as they are: done so when the flags a reset leaves are known without
    // it. The end is the same as after a reset and the file's values.
    const auto objectSectionCount = std::count_if(
        plan.begin(), plan.end(), [](const PlannedSection& section) { return section.objects; });
    const bool inPlace = m_bInPlace && objectSectionCount <= 1 && m_model.NonStandardObjectsListed();
    // However the import ends, no write stays held back.
    class HoldEnd
    {
    public:
        explicit HoldEnd(CEtsDbManagement& model) : m_model(model) {}
        HoldEnd(const HoldEnd&) = delete;
        HoldEnd& operator=(const HoldEnd&) = delete;
        ~HoldEnd() { m_model.WriteHeldValues(); }

    private:
        CEtsDbManagement& m_model;
    };
    std::optional<HoldEnd> holdEnd;
    if (inPlace) {
        std::vector<UniqueNr> numbers;
        for (const PlannedSection& section : plan)
            for (const auto& value : section.values)
                numbers.push_back(value.first);
        m_model.HoldWrites(numbers);
        holdEnd.emplace(m_model);
        m_model.ResetParameterValues();
        m_model.StopHolding();
    } else {
        m_model.ResetAllParameters(false);
    }
    if (m_nFileFormat < 3) {
        m_model.SetParameterLong(param::kAddressingMode, 2);
    }
    if (m_pView)
        m_pView->UpdateAll();
    if (m_pProgress)
        m_pProgress->Show(ProgressKind::TextOnly, m_model.GetParameterText(817, "Import"),
                          m_model.GetParameterText(889, "Parameters"), "", "");
    if (m_pView)
        m_pView->EnableWindow(false);

    // Associations follow every parameter, so that their objects are visible.
    std::vector<const PlannedSection*> objectSections;
    for (const PlannedSection& section : plan) {
        if (section.objects) {
            objectSections.push_back(&section);
            continue;
        }
        ShowSection(section.name);
        for (const auto& [number, text] : section.values) {
            TRACE_MSG(TRACE_INFO, "Parameter %ld: `%.200s'", static_cast<long>(number), text.data());
            HRESULT hr = m_model.SetParameterValue(number, ValueOfText(text));
            if (hr == S_OK || hr == ETS_S_PARAMETER_SET)
                continue;
            // The host has traced why; the import goes on with the next value.
            m_notTaken.push_back("parameter " + std::to_string(number) + ": the value '" +
                                 std::string(text.substr(0, 60)) + (text.size() > 60 ? "...'" : "'") +
                                 " is refused");
        }
    }
    // The reset's values for what the host refused of the file's.
    if (inPlace)
        m_model.WriteHeldValues();
    for (const PlannedSection* section : objectSections) {
        ShowSection(section->name);
        ApplyObjects(*section, inPlace);
    }
    if (inPlace && objectSections.empty())
        m_model.ReplaceDeviceObjectAssociations({}, nullptr);
    m_model.LoadBufferedParameters();
    if (m_nFileFormat < 3)
        MemberPass();
    m_model.CollectVisibleNonStandardObjects();
    m_model.RefreshGroupObjectNames(0);
    if (m_pView)
        m_pView->UpdateAll();
    if (m_pProgress)
        m_pProgress->Close();
    // One message for everything that did not come over.
    if (m_pPrompt && (!m_strFailures.empty() || !m_notTaken.empty())) {
        std::string message;
        if (!m_strFailures.empty())
            message = m_model.GetParameterString(968, "Assocs failed") + "\n" +
                      m_model.GetParameterString(969, "") + "\n" + m_strFailures;
        if (!m_notTaken.empty())
            message += (message.empty() ? "" : "\n\n") + std::string("Not imported:\n") + GetNotTakenText();
        m_pPrompt->Ask("Veltrona", message, PromptButtons::Ok, PromptIcon::Exclamation);
    }
    if (m_pView)
        m_pView->EnableWindow(true);
    return true;
}
