#include "memload/RoutineCall.h"

#include <windows.h>


// QvCallKeepingStack(address, arguments, count): copies the arguments onto a 16-byte
// aligned stack, calls, then restores the stack pointer from the frame, whatever the
// callee did with its arguments. The callee-saved registers are restored too, so a
// careless routine cannot break the caller's frame.
extern "C" std::uint32_t QvCallKeepingStack(std::uintptr_t address, const std::uint32_t* arguments,
                                            std::uint32_t count);

asm(R"(
    .text
    .p2align 4
    .globl _QvCallKeepingStack
    .def _QvCallKeepingStack; .scl 2; .type 32; .endef
_QvCallKeepingStack:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    movl  16(%ebp), %ecx
    movl  12(%ebp), %esi
    leal  0(,%ecx,4), %eax
    subl  %eax, %esp
    andl  $-16, %esp
    xorl  %edx, %edx
1:
    cmpl  %ecx, %edx
    jae   2f
    movl  (%esi,%edx,4), %eax
    movl  %eax, (%esp,%edx,4)
    incl  %edx
    jmp   1b
2:
    call  *8(%ebp)
    leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

std::uint32_t CallRoutine(std::uintptr_t address, std::initializer_list<std::uint32_t> arguments) {
    return QvCallKeepingStack(address, arguments.begin(), static_cast<std::uint32_t>(arguments.size()));
}

std::uint32_t GuardedCall(std::uintptr_t address, std::initializer_list<std::uint32_t> arguments) {
    if (address == 0 || IsBadCodePtr(reinterpret_cast<FARPROC>(address))) return 0;
    return CallRoutine(address, arguments);
}
