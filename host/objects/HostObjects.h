// Host objects of the device's communication objects: settings, visibility, the application's
// standard definition, and the group address associations (the first one sends).
#pragma once

#include "host/objects/DeviceContext.h"
#include "hostapi/EtsObjects.h"

#include <cstddef>
#include <memory>

class CHostStandardCommObject final : public ComObject<IEtsStandardCommObject>
{
public:
    CHostStandardCommObject(std::shared_ptr<const CatalogueModel> model, std::size_t object)
        : m_model(std::move(model)), m_object(object)
    {}
    HRESULT get_Number(std::uint16_t* number) override;
    HRESULT get_UniqueNumber(std::int32_t* number) override;
    HRESULT get_Priority(std::int32_t* priority) override;
    HRESULT get_Flag(EtsObjectFlag flag, std::int16_t* on) override;
    HRESULT get_UIParameter(IEtsUIParameter** parameter) override;
    // The first of the object's condition values as VT_I4; empty when it has none.
    HRESULT get_ConditionValue(Variant* value) override;

private:
    std::shared_ptr<const CatalogueModel> m_model;
    std::size_t m_object;
};

class CHostAssociation final : public ComObject<IEtsAssociation>
{
public:
    CHostAssociation(std::shared_ptr<ProjectStore> store, std::int32_t address, bool sending)
        : m_store(std::move(store)), m_address(address), m_sending(sending)
    {}
    HRESULT get_GroupAddress(IEtsGroupAddress** address) override;
    HRESULT get_Sending(std::int16_t* sending) override;

private:
    std::shared_ptr<ProjectStore> m_store;
    std::int32_t m_address;
    bool m_sending;
};

// The associations of one object as they are in the store now; queried with
// "$(GroupAddress)='value'" as well as by position.
class CHostAssociations final : public ComObject<IEtsAssociations>
{
public:
    CHostAssociations(std::shared_ptr<DeviceContext> context, std::size_t object)
        : m_context(std::move(context)), m_object(object)
    {}
    HRESULT QueryInterface(const IID& riid, void** object) override;
    HRESULT get_Count(std::int32_t* count) override;
    HRESULT Item(const Variant& index, IEtsAssociation** item) override;
    // S_FALSE (and the existing association) when the address is associated already; E_FAIL for an
    // invisible object; E_INVALIDARG for an address the project does not have.
    HRESULT Add(IEtsGroupAddress* address, IEtsAssociation** association) override;
    HRESULT Delete(const Variant& index) override;

private:
    HRESULT Resolve(const Variant& index, std::vector<std::int32_t>& addresses, std::size_t* position);
    std::shared_ptr<DeviceContext> m_context;
    std::size_t m_object;
};

class CHostCommObject final : public ComObject<IEtsCommObject>
{
public:
    CHostCommObject(std::shared_ptr<DeviceContext> context, std::size_t object)
        : m_context(std::move(context)), m_object(object)
    {}
    HRESULT get_Number(std::uint16_t* number) override;
    HRESULT get_UniqueNumber(std::int32_t* number) override;
    HRESULT get_Text(std::string* text) override;
    HRESULT put_Text(const std::string& text) override;
    HRESULT get_FunctionText(std::string* text) override;
    HRESULT get_DisplayText(std::int32_t which, std::string* text) override;
    HRESULT get_Priority(std::int32_t* priority) override;
    HRESULT put_Priority(std::int32_t priority) override;
    HRESULT get_Flag(EtsObjectFlag flag, std::int16_t* on) override;
    HRESULT put_Flag(EtsObjectFlag flag, std::int16_t on) override;
    HRESULT get_Visible(std::int16_t* visible) override;
    HRESULT get_StandardObject(IEtsStandardCommObject** standard) override;
    HRESULT get_Associations(IEtsAssociations** associations) override;
    HRESULT get_DatapointType(IEtsDatapointType** type) override;
    // A type the catalogue does not know is refused; null clears the type and its subtype.
    HRESULT put_DatapointType(IEtsDatapointType* type) override;
    HRESULT get_DatapointSubtype(IEtsDatapointSubtype** subtype) override;
    // The subtype must belong to the object's main type; null clears it.
    HRESULT put_DatapointSubtype(IEtsDatapointSubtype* subtype) override;

private:
    template <class Unchanged, class Change> HRESULT Update(Unchanged unchanged, Change change);
    template <class Read> HRESULT Peek(Read read) const;
    std::shared_ptr<DeviceContext> m_context;
    std::size_t m_object;
    // The catalogue's object and the object's associations never change: one host object each.
    ComPtr<IEtsStandardCommObject> m_standard;
    ComPtr<IEtsAssociations> m_associations;
};

// The host objects of a device's communication objects, made together on first use and shared by every list
// of them (walks over all objects are the hot path of many operations).
class CommObjectItems
{
public:
    explicit CommObjectItems(std::shared_ptr<DeviceContext> context) : m_context(std::move(context)) {}
    DeviceContext& Context() const { return *m_context; }
    // The object at a catalogue position.
    ComPtr<IEtsCommObject> Item(std::size_t object);

private:
    std::shared_ptr<DeviceContext> m_context;
    std::vector<ComPtr<IEtsCommObject>> m_items;
};

// The device's objects (all, or those visible now), queried with "$(UniqueNumber)=n".
ComPtr<IEtsCollection<IEtsCommObject>> MakeCommObjectList(const std::shared_ptr<CommObjectItems>& items,
                                                          bool visibleOnly);
