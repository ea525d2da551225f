#pragma once

#include <type_traits>
#include <utility>
#include <variant>

namespace kr90x {

// The error half of a Result, kept apart so that a Result whose value and error have the
// same type still knows which one it holds.
template <class E> struct Failure { E error; };

template <class E> Failure<std::decay_t<E>> fail(E&& error) {
    return {std::forward<E>(error)};
}

// What a function that can fail gives back: its value, or the typed reason it has none.
// The one failure style of the tree; exceptions stay inside a parser's own boundary.
template <class T, class E> class [[nodiscard]] Result {
public:
    Result(T value) : v_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure<E> failure) : v_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return v_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    T& value() & { return std::get<0>(v_); }
    const T& value() const& { return std::get<0>(v_); }
    T&& value() && { return std::get<0>(std::move(v_)); }
    T* operator->() { return &value(); }
    const T* operator->() const { return &value(); }
    T& operator*() & { return value(); }
    const T& operator*() const& { return value(); }

    // Only when !ok().
    const E& error() const { return std::get<1>(v_).error; }

private:
    std::variant<T, Failure<E>> v_;
};

} // namespace kr90x
