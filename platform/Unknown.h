// The minimal object model the plug-in and the host share: IUnknown with reference counting,
// owning pointers (ComPtr) and a base that implements IUnknown for concrete classes.
#pragma once

#include "platform/Guid.h"
#include "platform/HResult.h"

#include <atomic>
#include <cstdint>
#include <utility>

struct IUnknown
{
    static constexpr IID iid{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

    virtual HRESULT QueryInterface(const IID& riid, void** object) = 0;
    virtual std::uint32_t AddRef() = 0;
    virtual std::uint32_t Release() = 0;

protected:
    // Lifetime ends through Release only.
    virtual ~IUnknown() = default;
};

template <class T> constexpr const IID& IidOf()
{
    return T::iid;
}

// Owns one reference of an interface pointer.
template <class T> class ComPtr
{
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    ComPtr(T* raw) : m_p(raw)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    template <class U> ComPtr(const ComPtr<U>& other) : ComPtr(static_cast<T*>(other.Get())) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other)
    {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(T* raw)
    {
        ComPtr(raw).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t)
    {
        Reset();
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    T& operator*() const { return *m_p; }
    explicit operator bool() const { return m_p != nullptr; }

    // For out parameters: the pointer must be empty; the callee stores a referenced pointer.
    T** GetAddressOf() { return &m_p; }
    T** ReleaseAndGetAddressOf()
    {
        Reset();
        return &m_p;
    }

    void Reset()
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    // Takes over a reference the caller owns.
    void Attach(T* raw)
    {
        Reset();
        m_p = raw;
    }
    // Hands the reference to the caller.
    T* Detach() { return std::exchange(m_p, nullptr); }
    void Swap(ComPtr& other) noexcept { std::swap(m_p, other.m_p); }

    // Stores an added reference in *out (out may be null: E_POINTER).
    HRESULT CopyTo(T** out) const
    {
        if (!out)
            return E_POINTER;
        *out = m_p;
        if (m_p)
            m_p->AddRef();
        return S_OK;
    }

    template <class U> HRESULT As(ComPtr<U>* out) const
    {
        if (!m_p)
            return E_POINTER;
        return m_p->QueryInterface(IidOf<U>(), reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
    }

    friend bool operator==(const ComPtr& a, const ComPtr& b) { return a.m_p == b.m_p; }
    friend bool operator==(const ComPtr& a, std::nullptr_t) { return a.m_p == nullptr; }

private:
    T* m_p = nullptr;
};

// For QueryInterface-style calls: the IID and the out slot of a ComPtr.
template <class T> void** OutPtr(ComPtr<T>& p)
{
    return reinterpret_cast<void**>(p.ReleaseAndGetAddressOf());
}

// Implements IUnknown for a concrete class of one or more interfaces; the count is thread safe.
// A class that also answers to a base interface's identifier overrides QueryInterface and
// falls back to this one.
template <class... Interfaces> class ComObject : public Interfaces...
{
public:
    HRESULT QueryInterface(const IID& riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (riid == IUnknown::iid) {
            *object = static_cast<IUnknown*>(static_cast<First*>(this));
        } else {
            ((riid == IidOf<Interfaces>() ? (*object = static_cast<Interfaces*>(this), true) : false) || ...);
        }
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    std::uint32_t AddRef() override { return m_refs.fetch_add(1, std::memory_order_relaxed) + 1; }
    std::uint32_t Release() override
    {
        std::uint32_t left = m_refs.fetch_sub(1, std::memory_order_acq_rel) - 1;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    ComObject() = default;
    ~ComObject() override = default;

    // Answers an interface the class reaches through one of its listed interfaces.
    template <class I> HRESULT Answer(I* self, void** object)
    {
        *object = self;
        AddRef();
        return S_OK;
    }

private:
    template <class F, class...> struct FirstOf
    {
        using type = F;
    };
    using First = typename FirstOf<Interfaces...>::type;
    std::atomic<std::uint32_t> m_refs{0};
};

// Creates an object of a ComObject class; the returned pointer holds the first reference.
template <class T, class... Args> ComPtr<T> MakeComObject(Args&&... args)
{
    return ComPtr<T>(new T(std::forward<Args>(args)...));
}

struct IClassFactory : IUnknown
{
    static constexpr IID iid{0x00000001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
    virtual HRESULT CreateInstance(IUnknown* outer, const IID& riid, void** object) = 0;
    virtual HRESULT LockServer(bool lock) = 0;
};

struct ISupportErrorInfo : IUnknown
{
    static constexpr IID iid{0xDF0B3D60, 0x548F, 0x101B, {0x8E, 0x65, 0x08, 0x00, 0x2B, 0x2B, 0xD1, 0x19}};
    virtual HRESULT InterfaceSupportsErrorInfo(const IID& riid) = 0;
};
