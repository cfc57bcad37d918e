// The Windows headers as the Win32 layer uses them: the W functions, called
// by their full names.
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
