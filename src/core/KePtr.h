// KePtr<T>: an owning pointer to a reference-counted object of the 3D library (anything with
// grab() and drop()). It holds one reference and drops it when it goes, so that "what you
// create, you drop" holds on every path, early returns included.
//
//   KePtr<IImage> image = KePtr<IImage>::adopt(driver->createImage(...));  // a create* result
//   KePtr<ITexture> texture = KePtr<ITexture>::share(driver->getTexture(...));  // a borrowed get*
//
// Borrowed pointers (get*/add* results that the library keeps) stay raw where they are only used.
#pragma once

#include <utility>

namespace kolm {

template <class T>
class KePtr {
public:
    KePtr() = default;
    KePtr(std::nullptr_t) {}
    ~KePtr() { reset(); }

    // Takes over the reference that a create* call handed out.
    static KePtr adopt(T* object) {
        KePtr p;
        p.m_object = object;
        return p;
    }
    // Takes a reference of its own to a borrowed object.
    static KePtr share(T* object) {
        if (object) object->grab();
        return adopt(object);
    }

    KePtr(const KePtr& other) : m_object(other.m_object) {
        if (m_object) m_object->grab();
    }
    KePtr(KePtr&& other) noexcept : m_object(other.m_object) { other.m_object = nullptr; }
    KePtr& operator=(KePtr other) noexcept {
        std::swap(m_object, other.m_object);
        return *this;
    }

    // Drops the reference held (if any).
    void reset() {
        if (m_object) m_object->drop();
        m_object = nullptr;
    }
    // Gives the reference up to the caller, who must drop it.
    T* release() {
        T* object = m_object;
        m_object = nullptr;
        return object;
    }

    T* get() const { return m_object; }
    T* operator->() const { return m_object; }
    T& operator*() const { return *m_object; }
    explicit operator bool() const { return m_object != nullptr; }
    bool operator==(const T* other) const { return m_object == other; }
    bool operator!=(const T* other) const { return m_object != other; }

private:
    T* m_object = nullptr;
};

}  // namespace kolm
