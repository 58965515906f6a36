#pragma once

#include "Afx.h"
#include "String.h"

// The system's own text for a Win32 error, without its line end ("Error N." when it has none).
CString SystemErrorMessage(DWORD dwError);
