// The Windows headers as the Win32 layer uses them. Several Os methods share
// their names with the A/W macros of these headers (CreateMutex, DeleteFile,
// PathCombine, ...); the macros are removed here so that those names stay the
// method names, and the layer calls the W functions by their full names.
#pragma once

#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif

#include <windows.h>
#include <objbase.h>
#include <powrprof.h>
#include <shlobj.h>
#include <shlwapi.h>

#undef CreateDirectory
#undef CreateMutex
#undef DeleteFile
#undef GetFileAttributes
#undef GetModuleFileName
#undef GetSystemDirectory
#undef GetPrivateProfileInt
#undef GetPrivateProfileString
#undef PathAppend
#undef PathCombine
#undef PathFileExists
#undef PathRemoveFileSpec
#undef PostMessage
#undef SetFileAttributes
#undef WritePrivateProfileString
