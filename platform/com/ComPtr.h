#pragma once

// Owns one reference to an interface.

#include "com/Com.h"

#include <utility>

namespace platform::com {

template <typename T> class ComPtr
{
public:
    ComPtr() = default;
    // Takes over a reference the caller already holds.
    static ComPtr adopt(T* p)
    {
        ComPtr result;
        result.m_p = p;
        return result;
    }
    // Adds a reference of its own.
    explicit ComPtr(T* p) : m_p(p)
    {
        if (m_p)
            m_p->AddRef();
    }
    ComPtr(const ComPtr& other) : ComPtr(other.m_p) {}
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept
    {
        std::swap(m_p, other.m_p);
        return *this;
    }
    ~ComPtr() { reset(); }

    void reset()
    {
        if (T* p = std::exchange(m_p, nullptr))
            p->Release();
    }
    T* get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For calls that hand out a new reference through a void** argument.
    void** put()
    {
        reset();
        return reinterpret_cast<void**>(&m_p);
    }

    // The object's interface U, or null.
    template <typename U> ComPtr<U> query() const
    {
        ComPtr<U> result;
        if (m_p)
            m_p->QueryInterface(U::IID, result.put());
        return result;
    }

private:
    T* m_p = nullptr;
};

} // namespace platform::com
