#include "interpreter/python27_dll/python_library.h"

#include <utility>

namespace fwlaunch::interpreter {

std::optional<PythonLibrary> PythonLibrary::Load(const std::string& name, std::string* failure) {
  Result<platform::DynamicLibrary> library = platform::DynamicLibrary::Open(name);
  if (!library) {
    *failure = library.reason();
    return std::nullopt;
  }
  PythonApi api{};
  std::string missing;
  // Each export by its name; the first one missing is named.
#define FWLAUNCH_BIND(type, name)                                                  \
  api.name = reinterpret_cast<std::type_identity_t<type>>(library->Symbol(#name)); \
  if (api.name == nullptr && missing.empty()) missing = #name;
  FWLAUNCH_PYTHON_EXPORTS(FWLAUNCH_BIND)
#undef FWLAUNCH_BIND
  if (!missing.empty()) {
    *failure = name + " has no " + missing;
    return std::nullopt;
  }
  return PythonLibrary(std::move(*library), api);
}

}  // namespace fwlaunch::interpreter
