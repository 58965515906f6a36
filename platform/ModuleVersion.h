// The file version from a module's version record.
#pragma once

#include "Afx.h"
#include "String.h"

// "1.0.1.1" for the module (nullptr: the program's exe); "" when it has no version record.
CString ModuleVersion(HINSTANCE hInstance);
