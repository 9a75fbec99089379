// A reference to something callable, for the callbacks the floors hand down:
// typed where a function pointer and a void* context would be cast back. It
// owns nothing and allocates nothing (the out-of-memory handler is one), so
// what it refers to must outlive the call it is handed to.
#pragma once

#include <type_traits>
#include <utility>

template <typename Signature>
class FunctionRef;

template <typename Result, typename... Args>
class FunctionRef<Result(Args...)> {
public:
    FunctionRef() = default;

    template <typename Callable,
              typename = std::enable_if_t<!std::is_same_v<std::decay_t<Callable>, FunctionRef> &&
                                          std::is_invocable_r_v<Result, Callable&, Args...>>>
    FunctionRef(Callable&& callable)  // NOLINT: converts implicitly, as a function pointer would
        : object_(Address(callable)), call_([](void* object, Args... args) -> Result {
              return (*reinterpret_cast<std::remove_reference_t<Callable>*>(object))(std::forward<Args>(args)...);
          }) {}

    explicit operator bool() const { return call_ != nullptr; }
    Result operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

private:
    // A function is referred to by its address, anything else by the object's.
    template <typename Callable>
    static void* Address(Callable& callable) {
        if constexpr (std::is_function_v<Callable>)
            return reinterpret_cast<void*>(&callable);
        else
            return const_cast<void*>(static_cast<const void*>(&callable));
    }

    void* object_ = nullptr;
    Result (*call_)(void*, Args...) = nullptr;
};
