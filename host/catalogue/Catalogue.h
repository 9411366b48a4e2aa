// The product catalogue of the gateway's application program: every parameter and communication
// object the host offers for the device, loaded from the data file that ships with the project.
#pragma once

#include "platform/Variant.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

struct CatalogueEnumValue
{
    std::int32_t value = 0;
    std::string text;
};

struct CatalogueParameter
{
    std::int32_t uniqueNr = 0;
    // 1, 2 integer (minimum..maximum); 3 text (maximum = longest length); 4, 5 enumeration.
    std::int32_t baseType = 1;
    std::int64_t minimum = 0;
    std::int64_t maximum = 0;
    std::vector<CatalogueEnumValue> enumValues; // in the application's order
    Variant defaultValue;                       // VT_I4 for numbers and enumerations, VT_BSTR for texts
    std::string description;                    // the parameter's text; UI texts 700..999 live here
    bool accessible = true;
    // Place in the dependency tree: the parent's UniqueNr, and the parent values under which this
    // parameter exists (empty: it exists whenever the parent does).
    std::optional<std::int32_t> parent;
    std::vector<std::int32_t> conditionValues;
};

struct CatalogueObject
{
    std::uint16_t number = 0;
    std::int32_t uniqueNumber = 0; // host identifier of the object
    std::string text;              // default object text
    std::string functionText;
    // The KNX priority code: 0 system, 1 normal (shown as high), 2 urgent (alarm), 3 low. The loader
    // always sets it from the data file.
    std::int32_t priority = 2;
    // communication, read, write, transmit, update
    bool flags[5] = {true, false, true, false, false};
    std::int32_t datapointMain = -1;
    std::int32_t datapointSub = -1;
    // The UI parameter the object depends on and the values under which it is visible.
    std::optional<std::int32_t> parameter;
    std::vector<std::int32_t> conditionValues;
};

struct ApplicationIdentity
{
    std::int32_t manufacturerNumber = 0;
    std::string manufacturerName;
    std::int32_t applicationNumber = 0;
    std::int32_t applicationVersion = 0;
    std::int32_t maskVersion = 0;
    std::string name;
};

struct DatapointSubtypeEntry
{
    std::int32_t number = 0;
    std::string name;
};

struct DatapointTypeEntry
{
    std::int32_t number = 0;
    std::string name;
    std::vector<DatapointSubtypeEntry> subtypes;
};

class Catalogue
{
public:
    // Reads and expands the data file; on failure returns nothing and says why in error
    // (file, line and what is wrong).
    static std::optional<Catalogue> Load(const std::string& path, std::string* error);
    // The catalogue file that ships with the project (found beside the program or in the source tree).
    static std::string DefaultPath();

    const ApplicationIdentity& Application() const { return m_application; }
    // Ascending by UniqueNr.
    const std::vector<CatalogueParameter>& Parameters() const { return m_parameters; }
    const std::vector<CatalogueObject>& Objects() const { return m_objects; }
    const std::vector<DatapointTypeEntry>& DatapointTypes() const { return m_datapointTypes; }
    const CatalogueParameter* FindParameter(std::int32_t uniqueNr) const;
    // The parameters whose parent is uniqueNr, ascending by UniqueNr (empty for a leaf or an unknown
    // number). Walking it depth first visits a parameter's whole subtree.
    const std::vector<std::int32_t>& Dependents(std::int32_t uniqueNr) const;
    // The object with that object number, or null.
    const CatalogueObject* FindObject(std::uint16_t number) const;

    // For tests and tools that build a catalogue in code.
    ApplicationIdentity& MutableApplication() { return m_application; }
    void AddParameter(CatalogueParameter parameter);
    void AddObject(CatalogueObject object);
    void AddDatapointType(DatapointTypeEntry type);

private:
    // Position of the parameter in m_parameters, or its size when there is none.
    std::size_t PositionOf(std::int32_t uniqueNr) const;

    ApplicationIdentity m_application;
    std::vector<CatalogueParameter> m_parameters;
    std::vector<std::vector<std::int32_t>> m_dependents; // parallel to m_parameters
    std::vector<CatalogueObject> m_objects;
    std::vector<DatapointTypeEntry> m_datapointTypes;
};
