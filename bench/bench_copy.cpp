// Benchmark helper (not a test): copies folders with the launcher's request, either through
// CopyWithProgress or, with --shell, through the system's SHFileOperationA, and prints how
// long the call took.
//   bench_copy.exe [--shell] <destination root> <source>...
// Each source goes to <destination root>\<its last name>, as the database command does.
// Output: one line "<engine|shell> <milliseconds> result=<code> aborted=<0|1>".
#include "platform/copy/CopyPath.h"
#include "platform/copy/CopyWithProgress.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    int nArg = 1;
    bool bShell = false;
    if (nArg < argc && std::strcmp(argv[nArg], "--shell") == 0)
    {
        bShell = true;
        ++nArg;
    }
    if (argc - nArg < 2)
    {
        std::fprintf(stderr, "usage: bench_copy [--shell] <destination root> <source>...\n");
        return 2;
    }
    std::string strDestRoot = argv[nArg++];
    std::string strFrom, strTo;
    for (; nArg < argc; ++nArg)
    {
        strFrom.append(argv[nArg]).append(1, '\0');
        CString strDest = CCopyPath::Join(strDestRoot.c_str(), CCopyPath::LastComponent(argv[nArg]));
        strTo.append(static_cast<LPCSTR>(strDest)).append(1, '\0');
    }

    SHFILEOPSTRUCTA op = {};
    op.hwnd = nullptr;
    op.wFunc = FO_COPY;
    op.pFrom = strFrom.c_str();   // std::string keeps one more NUL after its data
    op.pTo = strTo.c_str();
    op.fFlags = FOF_MULTIDESTFILES | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR;
    op.fAnyOperationsAborted = TRUE;
    op.hNameMappings = nullptr;
    op.lpszProgressTitle = "Copying...";

    LARGE_INTEGER freq, start, stop;
    ::QueryPerformanceFrequency(&freq);
    ::QueryPerformanceCounter(&start);
    int nResult = bShell ? ::SHFileOperationA(&op) : CopyWithProgress(&op);
    ::QueryPerformanceCounter(&stop);
    double ms = static_cast<double>(stop.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
    std::printf("%s %.1f result=%d aborted=%d\n", bShell ? "shell" : "engine", ms, nResult,
                op.fAnyOperationsAborted ? 1 : 0);
    std::fflush(stdout);
    return nResult;
}
