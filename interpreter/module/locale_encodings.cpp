#include <Python.h>

#include "interpreter/module/locale_encodings.h"

#include <optional>
#include <utility>

#include "interpreter/module/lazy_codecs.h"
#include "interpreter/module/py_ref.h"
#include "platform/locale_encoding.h"

namespace fwlaunch::interpreter {

void LocaleEncodings::Adopt() {
  std::optional<std::string> codeset = platform::LocaleCodeset();
  if (!codeset) return;
  // A normal start looks the character set up among its codecs. For the common ones the answer
  // is known, and asking would load the codecs at every run.
  if (!IsCodecEveryInterpreterHas(*codeset)) {
    PyRef encoder(PyCodec_Encoder(codeset->c_str()));
    if (!encoder) {
      // Not a codec the interpreter knows: a normal start leaves everything unset then too.
      PyErr_Clear();
      return;
    }
  }
  if (Py_FileSystemDefaultEncoding == nullptr) {
    filesystem_encoding_ = *codeset;
    Py_FileSystemDefaultEncoding = filesystem_encoding_.c_str();
  }
  constexpr std::pair<const char*, int> kStreams[] = {{"stdin", 0}, {"stdout", 1}, {"stderr", 2}};
  for (auto [name, number] : kStreams) {
    PyObject* file = PySys_GetObject(const_cast<char*>(name));  // borrowed
    if (file == nullptr || !PyFile_Check(file) || !platform::IsTerminal(number)) continue;
    if (reinterpret_cast<PyFileObject*>(file)->f_encoding != Py_None) continue;
    if (!PyFile_SetEncodingAndErrors(file, codeset->c_str(), nullptr)) PyErr_Clear();
  }
}

void LocaleEncodings::Release() {
  if (!filesystem_encoding_.empty()) Py_FileSystemDefaultEncoding = nullptr;
}

}  // namespace fwlaunch::interpreter
