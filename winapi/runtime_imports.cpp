// The static runtime (libgcc's thread support and unwinder, msvcrt's extras)
// calls CreateSemaphoreW, GetModuleHandleW and LoadLibraryW, which the 95
// family lacks. Their import slots are defined here, pointing at the
// switched calls, so that the linker takes these instead of importing the W
// functions. Linked into the executable as an object of its own.
#include "winapi/winapi.h"

extern "C" {
// i686 import slots are named __imp__<function>@<argument bytes>.
HANDLE(WINAPI* kivo_imp_CreateSemaphoreW)(LPSECURITY_ATTRIBUTES, LONG, LONG, LPCWSTR)
    __asm__("__imp__CreateSemaphoreW@16") = &winapi::CreateSemaphoreW;
HMODULE(WINAPI* kivo_imp_GetModuleHandleW)(LPCWSTR)
    __asm__("__imp__GetModuleHandleW@4") = &winapi::GetModuleHandleW;
HMODULE(WINAPI* kivo_imp_LoadLibraryW)(LPCWSTR)
    __asm__("__imp__LoadLibraryW@4") = &winapi::LoadLibraryW;
}
