/* A stand-in for the system's MAPI mail client: MAPISendMail writes what it was given to a
 * folder and answers as told. The folder is named by BREVANT_MAIL_RECORD (else "mail" beside
 * this library); BREVANT_MAIL_ANSWER "abort" answers MAPI_USER_ABORT, "fail" MAPI_E_FAILURE.
 *
 * message.txt (bytes as given, one field per line): "flags <n>", "to <class>|<name>|<address>"
 * per recipient, "subject <text>", "attachment <path name>|<file name>" per file, then
 * "body" and the note text to the end. Each attachment's bytes go to attachment<i>. */

#include <windows.h>
#include <mapi.h>
#include <stdio.h>
#include <string.h>

static void RecordFolder(char* folder, DWORD size) {
    DWORD length = GetEnvironmentVariableA("BREVANT_MAIL_RECORD", folder, size);
    if (length == 0 || length >= size) {
        HMODULE self = NULL;
        GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                           (LPCSTR)(void*)RecordFolder, &self);
        length = GetModuleFileNameA(self, folder, size);
        while (length > 0 && folder[length - 1] != '\\') --length;
        folder[length] = 0;
        strncat(folder, "mail", size - length - 1);
    }
    CreateDirectoryA(folder, NULL);
}

static void CopyAttachment(const char* from, const char* folder, unsigned index) {
    char to[MAX_PATH * 2];
    snprintf(to, sizeof to, "%s\\attachment%u", folder, index);
    CopyFileA(from, to, FALSE);
}

static ULONG Answer(void) {
    char answer[32];
    DWORD length = GetEnvironmentVariableA("BREVANT_MAIL_ANSWER", answer, sizeof answer);
    if (length > 0 && length < sizeof answer) {
        if (strcmp(answer, "abort") == 0) return MAPI_USER_ABORT;
        if (strcmp(answer, "fail") == 0) return MAPI_E_FAILURE;
    }
    return SUCCESS_SUCCESS;
}

__declspec(dllexport) ULONG WINAPI MAPISendMail(LHANDLE session, ULONG_PTR uiParam, lpMapiMessage message,
                                                FLAGS flags, ULONG reserved) {
    char folder[MAX_PATH], path[MAX_PATH * 2];
    FILE* out;
    ULONG i;
    (void)session;
    (void)uiParam;
    (void)reserved;
    RecordFolder(folder, sizeof folder);
    snprintf(path, sizeof path, "%s\\message.txt", folder);
    out = fopen(path, "wb");
    if (!out) return MAPI_E_FAILURE;
    fprintf(out, "flags %lu\n", (unsigned long)flags);
    for (i = 0; i < message->nRecipCount; ++i) {
        const MapiRecipDesc* to = &message->lpRecips[i];
        fprintf(out, "to %lu|%s|%s\n", (unsigned long)to->ulRecipClass, to->lpszName ? to->lpszName : "",
                to->lpszAddress ? to->lpszAddress : "");
    }
    fprintf(out, "subject %s\n", message->lpszSubject ? message->lpszSubject : "");
    for (i = 0; i < message->nFileCount; ++i) {
        const MapiFileDesc* file = &message->lpFiles[i];
        fprintf(out, "attachment %s|%s\n", file->lpszPathName ? file->lpszPathName : "",
                file->lpszFileName ? file->lpszFileName : "");
        if (file->lpszPathName) CopyAttachment(file->lpszPathName, folder, (unsigned)i);
    }
    fprintf(out, "body\n%s", message->lpszNoteText ? message->lpszNoteText : "");
    fclose(out);
    return Answer();
}
