/* PyOS_CheckStack, which extension modules built for the release's DLL may import. The release
   probes the stack with Microsoft's structured exceptions, which this compiler lacks; here the
   room left is measured instead: the distance from the current frame to the bottom of the
   thread's stack reservation, less the pages Windows keeps there (a guard page and one that is
   never committed). Returns 1 when less than the release's margin is left, else 0. */
#include "Python.h"

#include <windows.h>

PyAPI_FUNC(int) PyOS_CheckStack(void);

int PyOS_CheckStack(void) {
  MEMORY_BASIC_INFORMATION stack;
  SYSTEM_INFO system;
  char here;
  size_t left;

  if (VirtualQuery(&here, &stack, sizeof stack) == 0) return 0;
  GetSystemInfo(&system);
  left = (size_t)(&here - (char *)stack.AllocationBase);
  return left < PYOS_STACK_MARGIN * sizeof(void *) + 2 * (size_t)system.dwPageSize;
}
