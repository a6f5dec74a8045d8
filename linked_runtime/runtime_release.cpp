// The C++ runtime is linked into our modules (Script.dll, the interpreter module): loading the
// shared one at every run would cost more than everything such a module itself does. That
// runtime takes an emergency pool for exceptions when the module is loaded and never gives it
// back, so an unload would leave it behind. libstdc++ offers __gnu_cxx::__freeres to release it
// (memory checkers call it at exit); the module calls it when it is unloaded, so that loading it
// again leaks nothing.
// (Windows builds link every program statically and unload nothing that way.)
#include <version>  // defines __GLIBCXX__ when the runtime is libstdc++

#if defined(__GLIBCXX__) && !defined(_WIN32)

namespace __gnu_cxx {
void __freeres();
}

namespace {

struct ReleaseRuntimeAtUnload {
  ~ReleaseRuntimeAtUnload() { __gnu_cxx::__freeres(); }
} release_runtime_at_unload;

}  // namespace

#endif
