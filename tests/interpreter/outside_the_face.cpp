// Must not compile: the launcher's side may include script_run.h of the interpreter's folder,
// and nothing else of it (the test LauncherSeesOnlyScriptRunOfTheInterpreter).
#include "interpreter/script_run.h"

#include "interpreter/python_api.h"

fwlaunch::interpreter::PythonApi* ReachedPastTheFace() { return nullptr; }
