// A reference to a function or lambda for the length of one call: the parameter type of the
// functions that call back into their caller (a listing's visitor, a step observer). Unlike
// std::function it neither copies nor owns what it refers to, so each lambda costs one small
// forwarding function instead of a manager with run-time type information.
#pragma once
#include <concepts>
#include <memory>
#include <type_traits>
#include <utility>

namespace velmo {

template <typename Signature>
class CallableRef;

template <typename Result, typename... Args>
class CallableRef<Result(Args...)> {
 public:
  // `callable` (a lambda or another function object; a plain function is passed by its address)
  // must outlive every call through this reference: pass it as an argument only.
  template <typename Callable>
    requires(!std::same_as<std::remove_cvref_t<Callable>, CallableRef> &&
             !std::is_function_v<std::remove_reference_t<Callable>> &&
             std::is_invocable_r_v<Result, Callable&, Args...>)
  CallableRef(Callable&& callable)  // implicit, as std::function's: call sites pass lambdas
      : object_(std::addressof(callable)),
        call_([](const void* object, Args... args) -> Result {
          using Referred = std::remove_reference_t<Callable>;
          return (*static_cast<Referred*>(const_cast<void*>(object)))(std::forward<Args>(args)...);
        }) {}

  Result operator()(Args... args) const { return call_(object_, std::forward<Args>(args)...); }

 private:
  const void* object_;
  Result (*call_)(const void*, Args...);
};

}  // namespace velmo
