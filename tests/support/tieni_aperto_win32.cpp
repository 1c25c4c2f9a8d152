// A second program that keeps a file open as the host keeps its databases (reading and writing,
// sharing both; with "esclusivo", sharing nothing), until its standard input closes. Prints "k"
// once the file is open.
#include <windows.h>

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const bool esclusivo = argc > 2 && ::lstrcmpW(argv[2], L"esclusivo") == 0;
    const HANDLE f = ::CreateFileW(argv[1], GENERIC_READ | GENERIC_WRITE,
                                   esclusivo ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                   OPEN_EXISTING,
                                   FILE_ATTRIBUTE_NORMAL, nullptr);
    const char c = f != INVALID_HANDLE_VALUE ? 'k' : 'x';
    DWORD n = 0;
    ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), &c, 1, &n, nullptr);
    char b;
    while (::ReadFile(::GetStdHandle(STD_INPUT_HANDLE), &b, 1, &n, nullptr) && n > 0) {
    }
    if (f != INVALID_HANDLE_VALUE) ::CloseHandle(f);
    return 0;
}
