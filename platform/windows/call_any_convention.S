/* uint32_t fwlaunch_call_any_convention(const void* function, const uint32_t* words,
 *                                        uint32_t count)
 * Pushes the words as the arguments of a call (the first one last), calls, and puts ESP back
 * from ESI, which both cdecl and stdcall callees preserve: whatever the callee popped, the
 * stack is as before. 32-bit Windows (i686) only. */
    .text
    .globl _fwlaunch_call_any_convention
    .def _fwlaunch_call_any_convention; .scl 2; .type 32; .endef
_fwlaunch_call_any_convention:
    pushl %ebp
    movl %esp, %ebp
    pushl %esi
    pushl %edi
    movl %esp, %esi
    movl 12(%ebp), %edi
    movl 16(%ebp), %ecx
1:
    testl %ecx, %ecx
    jz 2f
    decl %ecx
    pushl (%edi,%ecx,4)
    jmp 1b
2:
    call *8(%ebp)
    movl %esi, %esp
    popl %edi
    popl %esi
    popl %ebp
    ret
