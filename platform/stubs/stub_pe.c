/* Windows stand-in stub: the image is the resource "VMDATA" 666 of language
   0. Linked for the GUI subsystem, so an executable built with -console
   shows the subsystem change. */
#include <windows.h>

#include "stub_check.h"

void kstubWrite(const char* text, unsigned long length) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD done = 0;
    if (out != NULL && out != INVALID_HANDLE_VALUE) WriteFile(out, text, (DWORD)length, &done, NULL);
}

/* Debuggable executables end in "kdbg". */
static int endsInKdbg(void) {
    char path[MAX_PATH + 1];
    DWORD length = GetModuleFileNameA(NULL, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return 0;
    path[length] = 0;
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char tail[4] = {0, 0, 0, 0};
    DWORD got = 0;
    int found = SetFilePointer(file, -4, NULL, FILE_END) != INVALID_SET_FILE_POINTER &&
                ReadFile(file, tail, 4, &got, NULL) && got == 4 && kstubEndsInKdbg((const unsigned char*)tail, 4);
    CloseHandle(file);
    return found;
}

int main(void) {
    int kdbg = endsInKdbg();
    HRSRC found = FindResourceExA(NULL, "VMDATA", MAKEINTRESOURCEA(666), 0);
    if (found == NULL) return kstubReport("pe", 0, 0, "no image", kdbg);
    HGLOBAL loaded = LoadResource(NULL, found);
    const unsigned char* image = loaded != NULL ? (const unsigned char*)LockResource(loaded) : NULL;
    if (image == NULL) return kstubReport("pe", 0, 0, "no image", kdbg);
    return kstubReport("pe", image, SizeofResource(NULL, found), 0, kdbg);
}
