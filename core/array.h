#pragma once
// CArray<T>: the program's one growable buffer, and COwner<T>, its one owning
// pointer. Elements are trivially copyable and move with memcpy; storage comes
// from realloc (which may grow a large block in place, or move it without
// copying) and goes back with free, here and nowhere else. Nothing throws: a
// growth that cannot get memory leaves the array as it was and answers false
// (or null), and the caller reports it.
//
// A class may use an array as storage only, keeping its own count (a text and
// its terminator, sums known up to a row): Reserve keeps every element of the
// old capacity, whatever the count.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

// For tests of the paths that report running out of memory: the next `count`
// growths of any array on the calling thread fail as if memory had run out.
inline thread_local int t_arrayGrowthFailures = 0;
inline void FailArrayGrowths(int count) { t_arrayGrowthFailures = count; }

template <class T>
class CArray {
    static_assert(std::is_trivially_copyable<T>::value, "elements move with memcpy");
    static_assert(alignof(T) <= 8, "elements follow an 8-byte header");

public:
    CArray() = default;
    ~CArray() { std::free(block_); }
    CArray(const CArray&) = delete;
    CArray& operator=(const CArray&) = delete;
    CArray(CArray&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
    CArray& operator=(CArray&& other) noexcept {
        if (this != &other) {
            std::free(block_);
            block_ = other.block_;
            other.block_ = nullptr;
        }
        return *this;
    }

    // Null until the first growth and after Free.
    T* Data() { return block_ ? Items() : nullptr; }
    const T* Data() const { return block_ ? Items() : nullptr; }
    int Count() const { return block_ ? block_->count : 0; }
    int Capacity() const { return block_ ? block_->capacity : 0; }
    bool Empty() const { return Count() == 0; }
    T& operator[](int i) { return Items()[i]; }
    const T& operator[](int i) const { return Items()[i]; }

    // Storage for exactly `capacity` elements when there is less; slots past
    // the count are zero. False, changing nothing, when memory ran out or the
    // size is beyond an int's range. Kept out of line: growth is the rare
    // path.
    __attribute__((noinline)) bool Reserve(int capacity) {
        const int old = Capacity();
        if (capacity <= old) return true;
        if (static_cast<size_t>(capacity) > (SIZE_MAX - sizeof(Header)) / sizeof(T)) return false;
        if (t_arrayGrowthFailures > 0) {
            --t_arrayGrowthFailures;
            return false;
        }
        void* memory = std::realloc(block_, sizeof(Header) + static_cast<size_t>(capacity) * sizeof(T));
        if (!memory) return false;
        Header* grown = static_cast<Header*>(memory);
        if (!block_) grown->count = 0;
        grown->capacity = capacity;
        block_ = grown;
        std::memset(static_cast<void*>(Items() + old), 0, Bytes(capacity - old));
        return true;
    }
    // Room for `extra` elements past the count. The capacity grows by half
    // (at least 16) so that a run of appends copies in linear time.
    bool Grow(int extra) {
        const int count = Count();
        if (extra < 0 || extra > INT_MAX - count) return false;
        const int needed = count + extra;
        const int capacity = Capacity();
        if (needed <= capacity) return true;
        int64_t wanted = static_cast<int64_t>(capacity) + capacity / 2;
        if (wanted < 16) wanted = 16;
        if (wanted < needed) wanted = needed;
        if (wanted > INT_MAX) wanted = INT_MAX;
        return Reserve(static_cast<int>(wanted));
    }
    // Sets the count, growing when needed; elements past the old count are
    // zero, elements past the new one are cleared to zero. Resize(0) on an
    // array without storage allocates nothing.
    bool Resize(int count) {
        const int old = Count();
        if (count < 0) return false;
        if (count < old) {
            ClearSlots(count, old);
        } else if (!Grow(count - old)) {
            return false;
        }
        if (block_) block_->count = count;
        return true;
    }
    // Copies `value` after the last element; the new element, or null.
    T* Append(const T& value) {
        if (!Grow(1)) return nullptr;
        T* slot = Items() + block_->count++;
        *slot = value;
        return slot;
    }
    bool Append(const T* values, int n) {
        if (n <= 0) return n == 0;
        if (!Grow(n)) return false;
        std::memcpy(static_cast<void*>(Items() + block_->count), values, Bytes(n));
        block_->count += n;
        return true;
    }
    // Moves the last element into *out and removes it; false when empty.
    bool Pop(T* out) {
        if (Empty()) return false;
        const int last = block_->count - 1;
        *out = Items()[last];
        ClearSlots(last, last + 1);
        block_->count = last;
        return true;
    }
    // Removes element i (0 <= i < count); the ones after it move up.
    void RemoveAt(int i) {
        const int count = block_->count;
        std::memmove(static_cast<void*>(Items() + i), Items() + i + 1, Bytes(count - 1 - i));
        block_->count = count - 1;
        ClearSlots(count - 1, count);
    }
    // Count 0, storage kept (and zeroed).
    void Clear() {
        if (!block_) return;
        ClearSlots(0, block_->count);
        block_->count = 0;
    }
    // Count and capacity 0, storage given back.
    void Free() {
        std::free(block_);
        block_ = nullptr;
    }

private:
    // Count and capacity live in front of the elements, so that an array is
    // one pointer wide: classes that hold many of them (strings in a parsed
    // document) stay small.
    struct Header {
        int count;
        int capacity;
    };

    T* Items() const { return reinterpret_cast<T*>(block_ + 1); }
    // Counts are never negative; going through unsigned tells the compiler so.
    static size_t Bytes(int n) { return static_cast<size_t>(static_cast<unsigned>(n)) * sizeof(T); }
    void ClearSlots(int from, int to) {
        if (to > from) std::memset(static_cast<void*>(Items() + from), 0, Bytes(to - from));
    }

    Header* block_ = nullptr;
};

// How an owner gives its object back: delete, unless the type of object
// calls for another way (a linked structure released as a whole, say).
template <class T>
struct CDeleteRelease {
    static void Release(T* object) { delete object; }
};

// Owns one object made with New (or one handed over by whoever made it) and
// releases it when it goes.
template <class T, class Releaser = CDeleteRelease<T>>
class COwner {
public:
    COwner() = default;
    explicit COwner(T* object) : object_(object) {}
    ~COwner() {
        if (object_) Releaser::Release(object_);
    }
    COwner(const COwner&) = delete;
    COwner& operator=(const COwner&) = delete;
    COwner(COwner&& other) noexcept : object_(other.Release()) {}
    COwner& operator=(COwner&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }

    // A new T from `args`; empty when memory ran out.
    template <class... Args>
    static COwner New(Args&&... args) {
        return COwner(new (std::nothrow) T(std::forward<Args>(args)...));
    }

    T* Get() const { return object_; }
    T* operator->() const { return object_; }
    T& operator*() const { return *object_; }
    explicit operator bool() const { return object_ != nullptr; }
    T* Release() {
        T* object = object_;
        object_ = nullptr;
        return object;
    }
    void Reset(T* object = nullptr) {
        T* old = object_;
        object_ = object;
        if (old) Releaser::Release(old);
    }

private:
    T* object_ = nullptr;
};
