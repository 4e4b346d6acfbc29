// Where a key tree keeps its pieces: one arena for the whole tree, so that a hive of millions of
// keys and values is a few large allocations rather than millions of small ones. Names and data
// lie in it behind their length; the lists of a key start there and move to the heap once they
// grow, where they grow in place.
#pragma once

#include "platform/posix/win32_types.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory_resource>
#include <new>
#include <ostream>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>

namespace brisvane::platform::hive {

// Bytes in the tree's arena behind their length: a handle of one pointer, read like a span.
// The length takes one byte below 255, else a mark and four bytes: most names and data are
// short, and a large hive holds millions of them. Empty unless made by Make.
class StoredBytes {
public:
    StoredBytes() = default;
    static StoredBytes Make(std::pmr::memory_resource& store, const void* bytes, std::size_t size);

    std::size_t size() const {
        if (m_block[0] < kLong)
            return m_block[0];
        std::uint32_t size = 0;
        std::memcpy(&size, m_block + 1, sizeof size);
        return size;
    }
    bool empty() const { return m_block[0] == 0; }
    const BYTE* data() const {
        return m_block + (m_block[0] < kLong ? 1 : 1 + sizeof(std::uint32_t));
    }
    const BYTE* begin() const { return data(); }
    const BYTE* end() const { return data() + size(); }
    BYTE operator[](std::size_t at) const { return data()[at]; }
    BYTE back() const { return data()[size() - 1]; }
    std::span<const BYTE> Span() const { return {data(), size()}; }
    operator std::span<const BYTE>() const { return Span(); }
    std::string_view Text() const { return {reinterpret_cast<const char*>(data()), size()}; }
    // Where the bytes lie, without reading them.
    const void* Place() const { return m_block; }

    friend bool operator==(const StoredBytes& a, std::span<const BYTE> b) {
        return a.size() == b.size() &&
               (b.empty() || std::memcmp(a.data(), b.data(), b.size()) == 0);
    }

private:
    static constexpr BYTE kLong = 0xFF;
    static constexpr BYTE kEmpty = 0;
    const BYTE* m_block = &kEmpty; // the length, then the bytes
};

// A name in the tree's arena, read like a string_view.
class StoredText {
public:
    StoredText() = default;
    static StoredText Make(std::pmr::memory_resource& store, std::string_view text) {
        StoredText made;
        made.m_bytes = StoredBytes::Make(store, text.data(), text.size());
        return made;
    }
    std::string_view View() const { return m_bytes.Text(); }
    operator std::string_view() const { return View(); }
    operator std::string() const { return std::string(View()); }
    std::size_t size() const { return m_bytes.size(); }
    bool empty() const { return m_bytes.empty(); }
    const char* data() const { return View().data(); }
    const void* Place() const { return m_bytes.Place(); }

    friend bool operator==(const StoredText& a, std::string_view b) { return a.View() == b; }
    friend std::ostream& operator<<(std::ostream& out, const StoredText& text) {
        return out << text.View();
    }

private:
    StoredBytes m_bytes;
};

// A list of trivially copyable items: its first few slots in the arena, more on the heap, grown
// with realloc so that a large list is moved by the system's page tables rather than copied.
template <typename T> class StoredList {
    static_assert(std::is_trivially_copyable_v<T>);

public:
    StoredList() = default;
    ~StoredList() { Release(); }
    StoredList(StoredList&& other) noexcept { *this = std::move(other); }
    StoredList& operator=(StoredList&& other) noexcept {
        if (this != &other) {
            Release();
            m_items = std::exchange(other.m_items, nullptr);
            m_size = std::exchange(other.m_size, 0);
            m_capacity = std::exchange(other.m_capacity, 0);
        }
        return *this;
    }

    std::size_t size() const { return m_size; }
    bool empty() const { return m_size == 0; }
    T& operator[](std::size_t at) { return m_items[at]; }
    const T& operator[](std::size_t at) const { return m_items[at]; }
    T& back() { return m_items[m_size - 1]; }
    std::span<T> Span() { return {m_items, m_size}; }
    std::span<const T> Span() const { return {m_items, m_size}; }

    void PushBack(std::pmr::memory_resource& store, const T& item) {
        if (m_size == m_capacity)
            Grow(store);
        m_items[m_size++] = item;
    }
    void Resize(std::size_t size) { m_size = static_cast<std::uint32_t>(size); }

private:
    static constexpr std::uint32_t kInArena = 4;

    void Grow(std::pmr::memory_resource& store) {
        if (m_capacity < kInArena) {
            const std::uint32_t capacity = m_capacity == 0 ? 1 : kInArena;
            T* items = static_cast<T*>(store.allocate(capacity * sizeof(T), alignof(T)));
            if (m_size)
                std::memcpy(static_cast<void*>(items), m_items, m_size * sizeof(T));
            m_items = items;
            m_capacity = capacity;
            return;
        }
        const std::size_t capacity = std::size_t{m_capacity} * 2;
        void* grown = m_capacity == kInArena ? std::malloc(capacity * sizeof(T))
                                             : std::realloc(m_items, capacity * sizeof(T));
        if (!grown)
            throw std::bad_alloc();
        if (m_capacity == kInArena)
            std::memcpy(grown, m_items, m_size * sizeof(T));
        m_items = static_cast<T*>(grown);
        m_capacity = static_cast<std::uint32_t>(capacity);
    }
    void Release() {
        if (m_capacity > kInArena)
            std::free(m_items);
        m_items = nullptr;
        m_size = m_capacity = 0;
    }

    T* m_items = nullptr;
    std::uint32_t m_size = 0;
    std::uint32_t m_capacity = 0;
};

} // namespace brisvane::platform::hive
