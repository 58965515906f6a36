#pragma once

#include "Afx.h"
#include "String.h"

// The system's own text for a Win32 error, without its line end ("Error N." when it has none).
CString SystemErrorMessage(DWORD dwError);

// "what (error N: the system's text)", as a log line says it.
CString SystemErrorLine(LPCSTR pszWhat, DWORD dwError);
