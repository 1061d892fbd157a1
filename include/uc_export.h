/* Symbol visibility for the exported interface of both libraries. */
#ifndef UC_EXPORT_H
#define UC_EXPORT_H

#if defined(_WIN32)
#  if defined(UC_BUILDING_LIBRARY)
#    define UC_EXPORT __declspec(dllexport)
#  else
#    define UC_EXPORT __declspec(dllimport)
#  endif
#  define UC_STDCALL __stdcall
#  define UC_CDECL   __cdecl
#else
#  define UC_EXPORT __attribute__((visibility("default")))
#  define UC_STDCALL
#  define UC_CDECL
#endif

#endif
