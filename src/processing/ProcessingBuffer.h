#pragma once
// A zero-filled array of fixed size allocated once. Large buffers come straight from the system
// as zero pages, so a processor costs resident memory only for the parts a ping touches.

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>
#include <type_traits>

namespace vexar {

/// Floats one sample row of the processing buffers holds: every sample of a beam, rounded up.
inline constexpr int kSampleRowCapacity = 1024;

template <class T> class ProcessingBuffer {
    static_assert(std::is_trivial_v<T>);

public:
    explicit ProcessingBuffer(std::size_t count)
        : m_data(static_cast<T*>(std::calloc(count, sizeof(T)))), m_size(count) {
        if (m_data == nullptr) {
            throw std::bad_alloc();
        }
    }

    T* data() { return m_data.get(); }
    const T* data() const { return m_data.get(); }
    std::size_t size() const { return m_size; }
    T& operator[](std::size_t i) { return m_data.get()[i]; }
    const T& operator[](std::size_t i) const { return m_data.get()[i]; }

private:
    struct Free {
        void operator()(T* p) const { std::free(p); }
    };
    std::unique_ptr<T, Free> m_data;
    std::size_t m_size;
};

} // namespace vexar
