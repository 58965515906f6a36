// Benchmark helper (not a test): copies folders with the launcher's request, either through
// CopyWithProgress, through the system's SHFileOperationA (--shell), or through the least
// Win32 copy there is (--floor), and prints how long the call took.
//   bench_copy.exe [--shell | --floor] <destination root> <source>...
// Each source goes to <destination root>\<its last name>, as the database command does.
// Output: one line "<engine|shell|floor> <milliseconds> result=<code> aborted=<0|1>".
#include "platform/copy/CopyPath.h"
#include "platform/copy/CopyWithProgress.h"
#include "platform/copy/FileTreeCopier.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Join(const std::string& folder, const std::string& name)
{
    std::string path;
    path.reserve(folder.size() + 1 + name.size());
    path += folder;
    path += '\\';
    path += name;
    return path;
}

// The floor: a FindFirstFile walk, the folders made first, then the files copied by
// CreateFileA/ReadFile/WriteFile on as many threads as the engine uses; no checks, no
// progress, no attributes or times.
struct Floor
{
    std::vector<std::pair<std::string, std::string>> files;
    std::atomic<size_t> next{0};
    std::atomic<int> error{0};

    void Walk(const std::string& src, const std::string& dst)
    {
        if (!::CreateDirectoryA(dst.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS)
            error = static_cast<int>(::GetLastError());
        std::vector<std::string> folders;
        WIN32_FIND_DATAA fd;
        HANDLE h = ::FindFirstFileA((src + "\\*").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE)
            return;
        do
        {
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            {
                if (std::strcmp(fd.cFileName, ".") != 0 && std::strcmp(fd.cFileName, "..") != 0)
                    folders.push_back(fd.cFileName);
            }
            else
            {
                files.emplace_back(src + "\\" + fd.cFileName, dst + "\\" + fd.cFileName);
            }
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
        for (const std::string& name : folders)
            Walk(Join(src, name), Join(dst, name));
    }

    void CopyFiles()
    {
        std::vector<char> buffer(size_t{1024} * 1024);
        for (size_t i; (i = next++) < files.size();)
        {
            HANDLE hIn = ::CreateFileA(files[i].first.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            HANDLE hOut = ::CreateFileA(files[i].second.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                        FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            DWORD dwRead = 0, dwWritten = 0;
            while (hIn != INVALID_HANDLE_VALUE && hOut != INVALID_HANDLE_VALUE
                   && ::ReadFile(hIn, buffer.data(), static_cast<DWORD>(buffer.size()), &dwRead, nullptr) && dwRead > 0)
                ::WriteFile(hOut, buffer.data(), dwRead, &dwWritten, nullptr);
            if (hIn == INVALID_HANDLE_VALUE || hOut == INVALID_HANDLE_VALUE)
                error = static_cast<int>(::GetLastError());
            ::CloseHandle(hIn);
            ::CloseHandle(hOut);
        }
    }
};

int FloorCopy(const std::vector<std::string>& sources, const std::vector<std::string>& dests)
{
    Floor floor;
    for (size_t i = 0; i < sources.size(); ++i)
        floor.Walk(sources[i], dests[i]);
    std::vector<std::thread> threads;
    for (unsigned i = 1; i < CFileTreeCopier::kCopyThreads; ++i)
        threads.emplace_back([&floor] { floor.CopyFiles(); });
    floor.CopyFiles();
    for (std::thread& t : threads)
        t.join();
    return floor.error;
}

}  // namespace

int main(int argc, char** argv)
{
    int nArg = 1;
    std::string mode = "engine";
    if (nArg < argc && (std::strcmp(argv[nArg], "--shell") == 0 || std::strcmp(argv[nArg], "--floor") == 0))
        mode = argv[nArg++] + 2;
    if (argc - nArg < 2)
    {
        std::fprintf(stderr, "usage: bench_copy [--shell | --floor] <destination root> <source>...\n");
        return 2;
    }
    std::string strDestRoot = argv[nArg++];
    std::string strFrom, strTo;
    std::vector<std::string> sources, dests;
    for (; nArg < argc; ++nArg)
    {
        CString strDest = CCopyPath::Join(strDestRoot.c_str(), CCopyPath::LastComponent(argv[nArg]));
        sources.push_back(argv[nArg]);
        dests.push_back(static_cast<LPCSTR>(strDest));
        strFrom.append(argv[nArg]).append(1, '\0');
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
    int nResult;
    if (mode == "shell")
        nResult = ::SHFileOperationA(&op);
    else if (mode == "floor")
    {
        nResult = FloorCopy(sources, dests);
        op.fAnyOperationsAborted = FALSE;
    }
    else
        nResult = CopyWithProgress(&op);
    ::QueryPerformanceCounter(&stop);
    double ms = static_cast<double>(stop.QuadPart - start.QuadPart) * 1000.0 / static_cast<double>(freq.QuadPart);
    std::printf("%s %.1f result=%d aborted=%d\n", mode.c_str(), ms, nResult, op.fAnyOperationsAborted ? 1 : 0);
    std::fflush(stdout);
    return nResult;
}
