// Sole ownership of one operating-system resource (a handle, a library, a
// registry key, ...). Traits name the value type, the empty value and how
// to close a value:
//
//   struct Traits {
//       using Value = ...;
//       static Value Empty();
//       void Close(Value value);   // may be static; never sees Empty()
//   };
//
// Traits may carry state (for example the bound function that closes the
// value); it moves with the value. Portable: no system headers.
#pragma once

#include <utility>

namespace platform {

template <typename Traits>
class UniqueResource : private Traits {
public:
    using Value = typename Traits::Value;

    UniqueResource() noexcept : value_(Traits::Empty()) {}
    explicit UniqueResource(Value value, Traits traits = Traits()) noexcept
        : Traits(std::move(traits)), value_(value) {}
    UniqueResource(UniqueResource&& other) noexcept
        : Traits(std::move(other.traits())), value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) {
            reset(other.release());  // closes what this one held, with its own traits
            traits() = std::move(other.traits());
        }
        return *this;
    }
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    ~UniqueResource() { reset(); }

    Value get() const noexcept { return value_; }
    bool valid() const noexcept { return value_ != Traits::Empty(); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    Value release() noexcept { return std::exchange(value_, Traits::Empty()); }

    // Closes the held value (unless it is the new one) and takes the new one.
    void reset(Value value = Traits::Empty()) noexcept {
        Value old = std::exchange(value_, value);
        if (old != Traits::Empty() && old != value) traits().Close(old);
    }

    // For functions that return the resource through an out-parameter:
    // closes the held value first.
    Value* put() noexcept {
        reset();
        return &value_;
    }

private:
    Traits& traits() noexcept { return *this; }

    Value value_;
};

}  // namespace platform
