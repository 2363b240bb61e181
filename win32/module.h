// The module that holds this code: the DLL, or a test program that links the code in.
#pragma once

#include <windows.h>

#include "win32/handles.h"

namespace lark {

// Found from an address inside it; no reference is taken.
HINSTANCE thisModule();

// One more reference on this module, which keeps its code mapped while the owner lives
// (a worker thread that may outlast the last object uses it).
UniqueLibrary referenceThisModule();

}  // namespace lark
