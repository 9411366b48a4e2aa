// The exchange file of a gateway's configuration: export of every configured section and the
// objects, import with or without group addresses, also of files of the previous generation.
#pragma once

#include "exchange/XmlDom.h"
#include "model/EtsDbManagement.h"
#include "model/ProgressBox.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// What a window running an exchange does around it; tests and the command line leave it out.
class IExchangeView
{
public:
    virtual ~IExchangeView() = default;
    // The tree is rebuilt from the model's tables.
    virtual void UpdateAll() = 0;
    // The window is disabled while an import writes.
    virtual void EnableWindow(bool enable) = 0;
};

// Current object number of an object number of a previous-generation file; nothing for numbers
// without one. readLong reads a parameter of the device (the choice of two objects depends on it).
std::optional<std::uint16_t> MapPreviousObjectNr(std::int32_t objectNr,
                                                 const std::function<std::int32_t(UniqueNr)>& readLong);

class CXmlDomExportImport : public CXmlDom
{
public:
    static constexpr std::int32_t kApplication = 0xC00D;
    static constexpr std::int32_t kPreviousApplication = 0xC00C;
    // A value or address list longer than this is no configuration value.
    static constexpr std::size_t kMaxValueLength = 64u << 10;

    // The model must be loaded; prompt, progress and view may be null.
    explicit CXmlDomExportImport(CEtsDbManagement& model, IUserPrompt* prompt = nullptr,
                                 IProgressBox* progress = nullptr, IExchangeView* view = nullptr);

    bool ExportXmlFile(const std::string& fileName);
    // Replaces the configuration with the file's. A file that is no exchange file of this product
    // (no XML, another manufacturer or application) is refused before anything changes; of an
    // exchange file every entry that can be taken is taken, and what cannot be is listed (GetNotTaken)
    // and shown in one message after the import.
    bool ImportXmlFile(const std::string& fileName, bool withGroupAddresses);
    // The import's first half, which changes nothing: reads and checks the file and every entry,
    // false when the file is refused. ImportXmlFile runs it first.
    bool ReadImportFile(const std::string& fileName, bool withGroupAddresses);
    bool CheckDeviceApplicationInfos(XmlNode root);
    // Whether an import may write in place (the default): the reset then writes only what the file
    // does not bring, and objects keep what the file gives them again. Off, everything is reset
    // first. Both end the same.
    void SetInPlace(bool inPlace) { m_bInPlace = inPlace; }

    // 0 before a check, 2 previous generation, 3 current.
    std::uint8_t GetFileFormat() const { return m_nFileFormat; }
    // Why the last export or import failed, for the user.
    const std::string& GetErrorText() const { return m_strError; }
    // What an import could not associate, "object:address" separated by ", ".
    const std::string& GetFailures() const { return m_strFailures; }
    // What the last import did not take, one entry a line: objects without counterpart, parameters
    // the gateway has not, refused values with their text, unreadable entries. Empty: everything.
    const std::vector<std::string>& GetNotTaken() const { return m_notTaken; }
    // The same as one text of at most limit lines, the rest counted.
    std::string GetNotTakenText(std::size_t limit = 25) const;

    // Writers of the file's sections.
    bool AddDeviceApplicationInfos(XmlNode root);
    bool AddExportParameters(XmlNode parent, const std::string& name, UniqueNr uniqueNr);
    bool AddExportParameter(XmlNode parent, UniqueNr uniqueNr, const Variant& value);
    void AddExportCommon(XmlNode root);
    void AddExportManualOperation(XmlNode root);
    void AddExportGroups(XmlNode root);
    void AddExportGroup(XmlNode root, int groupNr);
    void AddExportScene(XmlNode root, int sceneNr);
    void AddExportEffects(XmlNode root);
    void AddExportEffect(XmlNode root, int effectNr);
    void AddExportCommissioning(XmlNode root);
    void AddExportObjectAssociations(XmlNode root);

private:
    struct PlannedObject
    {
        std::int32_t objectNr = 0; // as the file has it
        ObjectAssociationRecord record;
    };
    // One child of the root, read and checked before anything is written.
    struct PlannedSection
    {
        std::string name;
        bool objects = false;
        // Texts of the loaded document.
        std::vector<std::pair<UniqueNr, std::string_view>> values;
        std::vector<PlannedObject> objectList;
    };
    bool Fail(const std::string& text);
    std::string Where(XmlNode node) const;
    bool PlanImport(XmlNode root, bool withGroupAddresses, std::vector<PlannedSection>& plan);
    bool GetNodeDependentValueElements(XmlNode section, PlannedSection& planned);
    bool GetObjectAssociationsElements(XmlNode objects, bool withGroupAddresses, PlannedSection& planned);
    // Associations after every parameter; in place: see ImportXmlFile.
    void ApplyObjects(const PlannedSection& section, bool inPlace);
    void AddHiddenObjectFailures(const ObjectAssociationMap& map, std::string& failures);
    void MemberPass();
    // An entry of the file that is not taken: traced, and listed for the user.
    void NotTaken(XmlNode where, const std::string& what);
    void ShowSection(const std::string& name);
    std::string Numbered(int number, ELabel label) const;
    void Stage(const std::string& text);

    CEtsDbManagement& m_model;
    IProgressBox* m_pProgress;
    IExchangeView* m_pView;
    std::uint8_t m_nFileFormat = 0;
    bool m_bInPlace = true;
    std::string m_strError;
    std::string m_strFailures;
    std::vector<std::string> m_notTaken;
    // What ReadImportFile found, in document order; texts point into the loaded document.
    std::vector<PlannedSection> m_plan;
    // Numbers without a counterpart, gathered into one entry each.
    std::vector<std::int32_t> m_unknownParameters;
    std::vector<std::int32_t> m_unmappedObjects;
};
