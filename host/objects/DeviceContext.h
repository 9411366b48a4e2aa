// The state of one device behind its host objects: parameter values, object settings and associations
// loaded once,
// type and range checks, visibility from the dependency tree, and every change written to the store.
#pragma once

#include "host/catalogue/CatalogueModel.h"
#include "host/store/ProjectStore.h"
#include "platform/HResult.h"
#include "platform/Variant.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <unordered_set>
#include <vector>

// An object's settings as the catalogue defines them.
ObjectRecord StandardObjectSettings(const CatalogueObject& object);

class DeviceContext
{
    struct Key
    {};

public:
    // Loads the device's values and object settings. Fails when the catalogue does not describe the
    // device's application program or the store cannot be read.
    static std::shared_ptr<DeviceContext> Open(std::shared_ptr<ProjectStore> store,
                                               std::shared_ptr<const CatalogueModel> model,
                                               const DeviceRecord& device, std::string* error);
    DeviceContext(Key, std::shared_ptr<ProjectStore> store, std::shared_ptr<const CatalogueModel> model,
                  DeviceRecord device);

    ProjectStore& Store() const { return *m_store; }
    const std::shared_ptr<ProjectStore>& StorePtr() const { return m_store; }
    const CatalogueModel& Model() const { return *m_model; }
    const std::shared_ptr<const CatalogueModel>& ModelPtr() const { return m_model; }
    const DeviceRecord& Record() const { return m_device; }

    // Parameters by catalogue position.
    HRESULT GetValue(std::size_t position, Variant* value);
    // S_OK, ETS_S_PARAMETER_SET when the write changed what is visible; ETS_E_OUT_OF_RANGE when the
    // type refuses the value, DISP_E_TYPEMISMATCH when it is no value of the type's kind. Objects
    // that the write hides lose their associations.
    HRESULT PutValue(std::size_t position, const Variant& value);
    HRESULT IsVisible(std::size_t position, bool* visible);

    // Communication objects by catalogue position.
    HRESULT GetObject(std::size_t object, ObjectRecord* record);
    // The settings as they are now, without a copy; valid until the next change of the context.
    HRESULT PeekObject(std::size_t object, const ObjectRecord** record);
    HRESULT SetObject(std::size_t object, const ObjectRecord& record);
    HRESULT IsObjectVisible(std::size_t object, bool* visible);
    HRESULT Associations(std::size_t object, std::vector<std::int32_t>& addresses);
    // S_FALSE when the address is associated already; E_FAIL for an invisible object.
    HRESULT AddAssociation(std::size_t object, std::int32_t address);
    HRESULT DeleteAssociation(std::size_t object, std::int32_t address);

    // A value in the form the store keeps it.
    static StoredValue ToStored(const Variant& value);

private:
    // The value the type makes of a written variant.
    static HRESULT Accept(const ParameterCheck& check, std::span<const std::int32_t> sortedEnumValues,
                          const Variant& value, Variant* accepted);
    HRESULT Load();
    HRESULT EnsureCurrent();
    bool VisibleNow(std::size_t position) const;
    bool ObjectVisibleNow(std::size_t object) const;
    bool AddressExists(std::int32_t address);
    Variant FromStored(std::size_t position, const StoredValue& stored) const;

    std::shared_ptr<ProjectStore> m_store;
    std::shared_ptr<const CatalogueModel> m_model;
    DeviceRecord m_device;
    std::uint64_t m_generation = 0;
    std::vector<Variant> m_values;
    std::vector<ObjectRecord> m_objects;
    // The group addresses of each object (by catalogue position), as the store has them.
    std::vector<std::vector<std::int32_t>> m_associations;
    // Objects that have a row in the store.
    std::vector<bool> m_objectStored;
    // Group addresses known to exist.
    std::unordered_set<std::int32_t> m_addresses;
    // Counts the writes that may change an object's visibility; the visibility of every object as
    // computed at m_objectVisibleAt.
    std::uint64_t m_visibilityChanges = 0;
    std::uint64_t m_objectVisibleAt = ~std::uint64_t{0};
    std::vector<char> m_objectVisible;
};
