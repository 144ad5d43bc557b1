#include "log.h"

#include <io.h>
#include <sys/stat.h>

#include <cstring>

char g_LogFileName[16];
int g_LogHandle;
FILE* g_pLogFile = NULL;

static void ReportFileError(const char* what) {
    OutputDebugStringA(what);
    OutputDebugStringA(g_LogFileName);
    OutputDebugStringA("\n");
}

bool OpenLogFile() {
    strcpy(g_LogFileName, "D3D.log");
    g_LogHandle = _creat(g_LogFileName, _S_IREAD | _S_IWRITE);
    _close(g_LogHandle);

    g_pLogFile = fopen(g_LogFileName, "w");
    if (g_pLogFile == NULL) {
        ReportFileError("Impossibile aprire il file: ");
        return false;
    }
    if (fprintf(g_pLogFile, "%s", "D3D LOG FILE \n\n\n") == -1) {
        ReportFileError("Impossibile scrivere sul file: ");
        return false;
    }
    fflush(g_pLogFile);
    return true;
}

void WriteToLog(const char* text) {
    if (g_pLogFile == NULL) return;
    if (fprintf(g_pLogFile, "%s\n", text) == -1) {
        ReportFileError("Impossibile scrivere sul file: ");
        return;
    }
    // Each line reaches the disk at once, so a killed process loses none.
    fflush(g_pLogFile);
}

void CloseLogFile() {
    if (g_pLogFile == NULL) return;
    fclose(g_pLogFile);
    g_pLogFile = NULL;
}

void ReportError(const char* message) {
    OutputDebugStringA("ERROR: ");
    OutputDebugStringA(message);
    OutputDebugStringA("\n");
}
