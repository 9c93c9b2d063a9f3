// An allocator that takes whole pages from the system and gives them back
// when freed, for the large buffers each playback thread makes and drops.
#pragma once

#include <sys/mman.h>

#include <cstddef>
#include <new>

namespace media {

// The heap would serve such a buffer from the arena of the thread that asks,
// and a new playback thread for each file may be given another arena: what
// one file's thread frees then stays with the process while the next file's
// thread fills another, and a long session grows. Pages of their own go back
// to the system at once.
template <class T>
struct PageAllocator {
    using value_type = T;

    PageAllocator() = default;
    template <class U>
    PageAllocator(const PageAllocator<U>&) noexcept {}

    T* allocate(std::size_t count) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_alloc();
        void* pages =
            mmap(nullptr, count * sizeof(T), PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (pages == MAP_FAILED) throw std::bad_alloc();
        return static_cast<T*>(pages);
    }
    void deallocate(T* pointer, std::size_t count) noexcept { munmap(pointer, count * sizeof(T)); }

    template <class U>
    bool operator==(const PageAllocator<U>&) const noexcept {
        return true;
    }
    template <class U>
    bool operator!=(const PageAllocator<U>&) const noexcept {
        return false;
    }
};

}  // namespace media
