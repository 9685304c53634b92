#pragma once

#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace faceloom {

// An allocator whose containers leave new elements of plain types as they are, without
// setting them to zero: for the large arrays of a refinement, which are filled right
// after they are made. Zeros first would cost a pass over tens of megabytes, and touch
// every page before its contents do.
template <class T>
struct DefaultInit : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = DefaultInit<U>;
    };
    DefaultInit() = default;
    template <class U>
    DefaultInit(const DefaultInit<U>&) noexcept {}

    template <class U>
    void construct(U* place) noexcept(std::is_nothrow_default_constructible<U>::value) {
        ::new (static_cast<void*>(place)) U;
    }
    template <class U, class... Args>
    void construct(U* place, Args&&... args) {
        ::new (static_cast<void*>(place)) U(std::forward<Args>(args)...);
    }
};

// A vector whose resize() leaves the new elements for the caller to fill.
template <class T>
using FilledLater = std::vector<T, DefaultInit<T>>;

}  // namespace faceloom
