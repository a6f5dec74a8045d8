#include "interpreter/python27_dll/python_library.h"

#include <utility>

namespace fwlaunch::interpreter {

Result<PythonLibrary> PythonLibrary::Load(const std::string& name) {
  Result<platform::DynamicLibrary> library = platform::DynamicLibrary::Open(name);
  if (!library) return Fail(library.reason());
  PythonApi api{};
  std::string missing;
  // Each export by its name; the first one missing is named.
#define FWLAUNCH_BIND(type, name)                                                  \
  api.name = reinterpret_cast<std::type_identity_t<type>>(library->Symbol(#name)); \
  if (api.name == nullptr && missing.empty()) missing = #name;
  FWLAUNCH_PYTHON_EXPORTS(FWLAUNCH_BIND)
#undef FWLAUNCH_BIND
  if (!missing.empty()) return Fail(name + " has no " + missing);
  return PythonLibrary(std::move(*library), api);
}

}  // namespace fwlaunch::interpreter
