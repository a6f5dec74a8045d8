// Calling a function that a library loaded at run time exports, as its declared type says.
#pragma once

#include <bit>
#include <cstdint>

namespace fwlaunch::platform {

#if defined(_WIN32) && !defined(_WIN64)
// Calls function with the 32-bit words as its arguments and returns what it left in EAX. The
// stack is put back as it was whatever the callee popped, so a library built with stdcall is
// called as safely as one built with cdecl (32-bit Windows has both, and a DLL's export names
// do not always say which).
extern "C" std::uint32_t fwlaunch_call_any_convention(const void* function,
                                                      const std::uint32_t* words,
                                                      std::uint32_t count);
#endif

// Calls an export through its pointer with the arguments it declares.
template <typename Function, typename... Arguments>
std::int32_t CallExport(Function function, Arguments... arguments) {
#if defined(_WIN32) && !defined(_WIN64)
  static_assert(((sizeof(Arguments) == sizeof(std::uint32_t)) && ...),
                "every argument is one 32-bit word");
  const std::uint32_t words[] = {std::bit_cast<std::uint32_t>(arguments)..., 0};
  return static_cast<std::int32_t>(fwlaunch_call_any_convention(
      reinterpret_cast<const void*>(function), words, sizeof...(Arguments)));
#else
  return function(arguments...);
#endif
}

}  // namespace fwlaunch::platform
