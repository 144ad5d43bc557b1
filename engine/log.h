// The log file "D3D.log" and error reports to the debugger output.
#pragma once

#include <windows.h>

#include <cstdio>

extern char g_LogFileName[16];
extern int g_LogHandle;
extern FILE* g_pLogFile;

bool OpenLogFile();
void WriteToLog(const char* text);
void CloseLogFile();
void ReportError(const char* message);
