/* Symbol visibility and calling conventions of the exported interface of
 * both libraries.
 *
 * UC_EXPORT          exported by its own (for C++: mangled) name.
 * UC_EXPORT_BY_DEF   exported by the module-definition file on Windows
 *                    (the Positioner functions, under their plain and their
 *                    decorated stdcall name); a dllexport attribute would
 *                    add a third name there.
 * UC_STDCALL         the callee removes the arguments (Positioner).
 * UC_CDECL           the caller removes the arguments (TMK_). */
#ifndef UC_EXPORT_H
#define UC_EXPORT_H

#if defined(_WIN32)
#if defined(UC_BUILDING_LIBRARY)
#define UC_EXPORT __declspec(dllexport)
#else
#define UC_EXPORT __declspec(dllimport)
#endif
#define UC_EXPORT_BY_DEF
#define UC_STDCALL __stdcall
#define UC_CDECL   __cdecl
#else
#define UC_EXPORT        __attribute__((visibility("default")))
#define UC_EXPORT_BY_DEF UC_EXPORT
#define UC_STDCALL
#define UC_CDECL
#endif

#endif
