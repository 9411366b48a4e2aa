#include "plugin/UIPluginVeltrona.h"

#include "plugin/UIParameterDialog.h"
#include "trace/DebugTrace.h"

#include <QApplication>
#include <QPointer>
#include <exception>

namespace {
std::atomic<long> g_locks{0};
} // namespace

void VeltronaModule::Lock()
{
    ++g_locks;
}
void VeltronaModule::Unlock()
{
    --g_locks;
}
long VeltronaModule::LockCount()
{
    return g_locks.load();
}

HRESULT CUIPluginVeltrona::CreateInstance(IUnknown* outer, const IID& riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    // An aggregating object must ask for the inner IUnknown.
    if (outer && riid != IUnknown::iid)
        return CLASS_E_NOAGGREGATION;
    auto* self = new (std::nothrow) CUIPluginVeltrona(outer);
    if (!self)
        return E_OUTOFMEMORY;
    self->m_inner.AddRef();
    HRESULT hr = self->m_inner.QueryInterface(riid, object);
    self->m_inner.Release();
    return hr;
}

CUIPluginVeltrona::CUIPluginVeltrona(IUnknown* outer) : m_outer(outer ? outer : &m_inner)
{
    TRACE_ENTRY();
    VeltronaModule::Lock();
}

CUIPluginVeltrona::~CUIPluginVeltrona()
{
    TRACE_ENTRY();
    ReleaseHostObjects();
    VeltronaModule::Unlock();
}

HRESULT CUIPluginVeltrona::Inner::QueryInterface(const IID& riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (riid == IUnknown::iid)
        *object = static_cast<IUnknown*>(this);
    else if (riid == IDeviceParameterDialog::iid)
        *object = static_cast<IDeviceParameterDialog*>(&m_self);
    else if (riid == ISupportErrorInfo::iid)
        *object = static_cast<ISupportErrorInfo*>(&m_self);
    else
        return E_NOINTERFACE;
    static_cast<IUnknown*>(*object)->AddRef();
    return S_OK;
}

std::uint32_t CUIPluginVeltrona::Inner::Release()
{
    const std::uint32_t left = --m_self.m_refs;
    if (left == 0)
        delete &m_self;
    return left;
}

void CUIPluginVeltrona::ReleaseHostObjects()
{
    for (IUnknown* object : m_objects)
        if (object)
            object->Release();
    m_objects.clear();
}

HRESULT CUIPluginVeltrona::SetHostObjects(std::uint32_t count, IUnknown** objects)
{
    TRACE_ENTRY();
    if (!objects)
        return E_POINTER;
    ReleaseHostObjects();
    if (count >= 0x40000000u)
        return E_OUTOFMEMORY;
    try {
        m_objects.reserve(count);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        if (objects[i])
            objects[i]->AddRef();
        m_objects.push_back(objects[i]);
    }
    return S_OK;
}

HRESULT CUIPluginVeltrona::ShowModal(IEtsHostWindow* parent)
{
    TRACE_ENTRY();
    // Without a device there is no session to run; without a window system no window.
    if (m_objects.empty() || !m_objects[0] || !qobject_cast<QApplication*>(QCoreApplication::instance()))
        return E_FAIL;
    try {
        std::uintptr_t handle = 0;
        QWidget* parentWidget = nullptr;
        if (parent && SUCCEEDED(parent->get_NativeHandle(&handle)))
            parentWidget = reinterpret_cast<QWidget*>(handle);
        CUIParameterDialog window(m_objects[0], parent, parentWidget);
        switch (window.Run()) {
        case QDialog::Accepted:
            return S_OK;
        case QDialog::Rejected:
            return E_ABORT;
        default: // CUIParameterDialog::kNotCreated among others
            return E_FAIL;
        }
    } catch (const std::exception& e) {
        TRACE_MSG(TRACE_ERROR, "Session ended by %s", e.what());
        return E_FAIL;
    }
}

HRESULT CUIPluginVeltrona::InterfaceSupportsErrorInfo(const IID&)
{
    return S_FALSE;
}
