// A stand-in for python27.dll: it exports exactly what fwlaunch binds, logs every call, and
// plays a Launch module written as text, so that a test can see which of the interpreter's
// functions the launcher calls, in which order (launcher/windows/interpreter_calls_test.cpp).
//
// Launch.pyo, found through sys.path[0], holds one line per top-level name:
//   NAME return N | none | raise | text S | echo | crash | exit N | constant | nested PROGRAM |
//        hold MS
// ("hold" writes "begin" and, MS milliseconds later, "end" into order.log beside the firmware
// argument, then returns 0.)
// A first line "BROKEN" makes the import fail. Every call goes to python_calls.log in the
// interpreter's home, with a "VIOLATION" line wherever the caller broke the interface's rules.
#include <windows.h>

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Object {
  enum Kind { kString, kInt, kNone, kModule, kDict, kFunction, kConstant, kTuple, kList };
  Object(Kind made, std::string made_text) : kind(made), text(std::move(made_text)) {}
  Kind kind;
  std::string text;      // string; function: its action; module: its file
  long long number = 0;  // int
  std::vector<Object*> items;
  std::map<std::string, Object*> names;
  Object* dict = nullptr;  // module
  long references = 1;
};

Object* New(Object::Kind kind, std::string text = {}, long long number = 0) {
  Object* object = new Object(kind, std::move(text));
  object->number = number;
  return object;
}

struct State {
  char* home = nullptr;
  std::string home_copy;
  std::string log_path;
  bool initialized = false;
  bool error = false;
  Object* path = nullptr;
};

State& Interpreter() {
  static State state;
  return state;
}

void Log(const std::string& line) {
  if (Interpreter().log_path.empty()) return;
  std::ofstream log(Interpreter().log_path, std::ios::app | std::ios::binary);
  log << line << '\n';
}

void RequireInitialized(const char* call) {
  if (!Interpreter().initialized) Log(std::string("VIOLATION ") + call + " before Py_Initialize");
}

Object* LoadLaunch() {
  State& state = Interpreter();
  if (state.path == nullptr || state.path->items.empty()) return nullptr;
  std::string file = state.path->items[0]->text + "Launch.pyo";
  std::ifstream in(file);
  if (!in) return nullptr;
  Object* module = New(Object::kModule, file);
  module->dict = New(Object::kDict);
  std::string line;
  bool first = true;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (first && line == "BROKEN") return nullptr;
    first = false;
    std::istringstream fields(line);
    std::string name, action;
    if (!(fields >> name >> action)) continue;
    std::string rest;
    std::getline(fields, rest);
    if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
    Object* value =
        action == "constant" ? New(Object::kConstant) : New(Object::kFunction, action + " " + rest);
    module->dict->names[name] = value;
  }
  return module;
}

int RunNested(const std::string& program, const Object* arguments) {
  std::string command = "\"" + program + "\" x \"" + arguments->items[1]->text + "\" Seven";
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  if (!CreateProcessA(program.c_str(), command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &started))
    return 100;
  // A deadlocked inner run fails the call instead of hanging it.
  DWORD waited = WaitForSingleObject(started.hProcess, 20000);
  DWORD code = 101;
  if (waited == WAIT_OBJECT_0)
    GetExitCodeProcess(started.hProcess, &code);
  else
    TerminateProcess(started.hProcess, 102);
  CloseHandle(started.hProcess);
  CloseHandle(started.hThread);
  return static_cast<int>(code);
}

}  // namespace

#define DOUBLE_EXPORT extern "C" __declspec(dllexport)

extern "C" {
__declspec(dllexport) int Py_OptimizeFlag = 0;
__declspec(dllexport) int Py_NoSiteFlag = 0;
}

DOUBLE_EXPORT void Py_SetPythonHome(char* home) {
  State& state = Interpreter();
  state.home = home;
  state.home_copy = home != nullptr ? home : "";
  state.log_path = state.home_copy + "python_calls.log";
  Log("Py_SetPythonHome " + state.home_copy);
}

DOUBLE_EXPORT void Py_Initialize() {
  State& state = Interpreter();
  Log("Py_Initialize optimize=" + std::to_string(Py_OptimizeFlag) +
      " nosite=" + std::to_string(Py_NoSiteFlag));
  state.initialized = true;
  state.path = New(Object::kList);
  state.path->items.push_back(New(Object::kString, "C:\\Python27\\lib\\"));
}

DOUBLE_EXPORT void Py_Finalize() {
  State& state = Interpreter();
  if (state.home == nullptr || state.home_copy != state.home)
    Log("VIOLATION home text changed before Py_Finalize");
  Log("Py_Finalize");
  state.initialized = false;
}

DOUBLE_EXPORT Object* PyString_FromString(const char* text) {
  RequireInitialized("PyString_FromString");
  Log(std::string("PyString_FromString ") + text);
  return New(Object::kString, text);
}

DOUBLE_EXPORT Object* PyImport_Import(Object* name) {
  RequireInitialized("PyImport_Import");
  Log("PyImport_Import " + name->text);
  Object* module = name->text == "Launch" ? LoadLaunch() : nullptr;
  if (module == nullptr) Interpreter().error = true;
  return module;
}

DOUBLE_EXPORT Object* PyModule_GetDict(Object* module) {
  Log("PyModule_GetDict");
  if (module->kind != Object::kModule) {
    Interpreter().error = true;
    return nullptr;
  }
  return module->dict;
}

DOUBLE_EXPORT Object* PyDict_GetItemString(Object* dict, const char* key) {
  Log(std::string("PyDict_GetItemString ") + key);
  auto found = dict->names.find(key);
  return found == dict->names.end() ? nullptr : found->second;
}

DOUBLE_EXPORT int PyCallable_Check(Object* object) {
  Log("PyCallable_Check");
  return object->kind == Object::kFunction ? 1 : 0;
}

DOUBLE_EXPORT Object* PyTuple_New(std::intptr_t size) {
  Log("PyTuple_New " + std::to_string(size));
  Object* tuple = New(Object::kTuple);
  tuple->items.assign(static_cast<std::size_t>(size), nullptr);
  return tuple;
}

DOUBLE_EXPORT Object* Py_BuildValue(const char* format, ...) {
  Log(std::string("Py_BuildValue ") + format);
  if (std::strcmp(format, "s") != 0) {
    Log("VIOLATION Py_BuildValue format");
    return nullptr;
  }
  va_list arguments;
  va_start(arguments, format);
  const char* text = va_arg(arguments, const char*);
  va_end(arguments);
  return New(Object::kString, text);
}

DOUBLE_EXPORT int PyTuple_SetItem(Object* tuple, std::intptr_t index, Object* item) {
  Log("PyTuple_SetItem " + std::to_string(index));
  if (index < 0 || static_cast<std::size_t>(index) >= tuple->items.size()) return -1;
  tuple->items[static_cast<std::size_t>(index)] = item;
  return 0;
}

DOUBLE_EXPORT int PyGILState_Ensure() {
  Log("PyGILState_Ensure");
  return 1;
}

DOUBLE_EXPORT void PyGILState_Release(int) { Log("PyGILState_Release"); }

DOUBLE_EXPORT Object* PyObject_CallObject(Object* function, Object* arguments) {
  Log("PyObject_CallObject " + std::to_string(arguments->items.size()));
  std::istringstream action(function->text);
  std::string kind, rest;
  action >> kind;
  std::getline(action, rest);
  if (!rest.empty() && rest.front() == ' ') rest.erase(0, 1);
  if (kind == "return") return New(Object::kInt, {}, std::stoll(rest));
  if (kind == "none") return New(Object::kNone);
  if (kind == "text") return New(Object::kString, rest);
  if (kind == "echo") {
    for (std::size_t i = 0; i < arguments->items.size(); ++i) {
      if (i > 0) std::fputc('\0', stdout);
      std::fputs(arguments->items[i]->text.c_str(), stdout);
    }
    std::fflush(stdout);
    return New(Object::kInt, {}, static_cast<long long>(arguments->items.size()));
  }
  if (kind == "exit") {
    std::fflush(stdout);
    ExitProcess(static_cast<UINT>(std::stoul(rest)));
  }
  if (kind == "crash") {
    *static_cast<volatile int*>(nullptr) = 0;
  }
  if (kind == "nested") return New(Object::kInt, {}, RunNested(rest, arguments));
  if (kind == "hold") {
    std::string order = arguments->items[1]->text + "\\order.log";
    std::ofstream(order, std::ios::app | std::ios::binary) << "begin\n";
    Sleep(static_cast<DWORD>(std::stoul(rest)));
    std::ofstream(order, std::ios::app | std::ios::binary) << "end\n";
    return New(Object::kInt, {}, 0);
  }
  Interpreter().error = true;  // "raise"
  return nullptr;
}

DOUBLE_EXPORT int PyArg_Parse(Object* object, const char* format, ...) {
  Log(std::string("PyArg_Parse ") + format);
  va_list arguments;
  va_start(arguments, format);
  int* out = va_arg(arguments, int*);
  va_end(arguments);
  if (object == nullptr || object->kind != Object::kInt || object->number < INT32_MIN ||
      object->number > INT32_MAX) {
    Interpreter().error = true;
    return 0;
  }
  *out = static_cast<int>(object->number);
  return 1;
}

DOUBLE_EXPORT void Py_DecRef(Object* object) {
  if (object != nullptr && --object->references < 0) Log("VIOLATION reference count below 0");
}

DOUBLE_EXPORT void PyErr_Clear() {
  Log("PyErr_Clear");
  Interpreter().error = false;
}

// What the diagnostic twin alone asks for: a pending error has no traceback here, and an
// object's text is its own.
DOUBLE_EXPORT void PyErr_Fetch(Object** type, Object** value, Object** traceback) {
  Log("PyErr_Fetch");
  *type = *value = *traceback = nullptr;
  Interpreter().error = false;
}

DOUBLE_EXPORT void PyErr_NormalizeException(Object**, Object**, Object**) {}

DOUBLE_EXPORT void PyErr_Display(Object*, Object*, Object*) {}

DOUBLE_EXPORT Object* PyObject_Repr(Object* object) { return New(Object::kString, object->text); }

DOUBLE_EXPORT char* PyString_AsString(Object* object) { return object->text.data(); }

DOUBLE_EXPORT Object* PySys_GetObject(char* name) {
  return std::strcmp(name, "path") == 0 ? Interpreter().path : nullptr;
}

DOUBLE_EXPORT Object* PyList_New(std::intptr_t size) {
  Log("PyList_New " + std::to_string(size));
  return New(Object::kList);
}

DOUBLE_EXPORT int PyList_Append(Object* list, Object* item) {
  Log("PyList_Append " + item->text);
  list->items.push_back(item);
  ++item->references;
  return 0;
}

DOUBLE_EXPORT int PySys_SetObject(char* name, Object* value) {
  Log(std::string("PySys_SetObject ") + name);
  if (std::strcmp(name, "path") == 0) Interpreter().path = value;
  return 0;
}
