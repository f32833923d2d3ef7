// hold_file: opens a file the way a virus scanner or the search indexer does for a moment,
// without sharing it (or without letting it be deleted), and lets go after the given time.
// Windows only; the Windows check uses it to show that polling waits such a hold out.
//
//   hold_file PATH MILLISECONDS none|nodelete
// Prints "held" once the file is open; exits 1 when it could not be opened.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fputs("usage: hold_file PATH MILLISECONDS none|nodelete\n", stderr);
        return 2;
    }
    const DWORD share = std::strcmp(argv[3], "nodelete") == 0 ? FILE_SHARE_READ | FILE_SHARE_WRITE : 0;
    HANDLE handle = INVALID_HANDLE_VALUE;
    // The file may be on its way (written, renamed): a few tries.
    for (int attempt = 0; attempt < 200 && handle == INVALID_HANDLE_VALUE; ++attempt) {
        handle =
            CreateFileA(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE) Sleep(10);
    }
    if (handle == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)));
    CloseHandle(handle);
    return 0;
}
