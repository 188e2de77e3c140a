/* Holds a file open without letting anyone delete it, as a virus scanner or an indexer may at the
 * moment the program is uninstalled: holdfile.exe <file> <seconds>. Exits 1 when the file cannot
 * be opened. */
#include <windows.h>
#include <stdlib.h>

int wmain(int argc, wchar_t **argv) {
    if (argc < 3) return 2;
    HANDLE file = CreateFileW(argv[1], GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 1;
    Sleep((DWORD)_wtoi(argv[2]) * 1000);
    CloseHandle(file);
    return 0;
}
