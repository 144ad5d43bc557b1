// The drop-down console: lines of bitmap-alphabet text over a background image, an input line
// and a handler for the typed commands.
#pragma once

#include <windows.h>
#include <d3d9.h>

#define CONSOLE_LINE_SIZE 256
#define CONSOLE_MAX_PARAMS 25

class CConsoleLine {
public:
    CConsoleLine();
    ~CConsoleLine();

    int GetText(char* szDest, int nSize);
    int SetText(const char* szText);
    int AddChar(char c);
    int Render(int nMaxChars, DWORD* pBits, int pitch, int width, int height);
    CConsoleLine* GetNext();
    void SetNext(CConsoleLine* pNext);
    int GetY();
    CConsoleLine* SetY(int y);

    char* m_szText;
    CConsoleLine* m_pNext;
    int m_Y;
};

class CConsoleCommand {
public:
    CConsoleCommand();
    ~CConsoleCommand();

    char* m_szCommand;
    int m_nParams;
    char* m_szParams[CONSOLE_MAX_PARAMS];
};

// A negative result means that the handler does not know the command.
typedef int (*CONSOLECOMMANDHANDLER)(CConsoleCommand* pCommand);

class CConsole {
public:
    CConsole();
    ~CConsole();

    HRESULT Init(IDirect3DDevice9* pDevice, IDirect3DSurface9* pRenderTarget);
    void SetCommandHandler(CONSOLECOMMANDHANDLER pHandler);
    int OnKeyDown(WPARAM key);
    int OnChar(char c);
    void Render();
    int IsActive();
    CConsole* SetActive(int bOpen);
    void Print(const char* szText);
    void NewLine();
    void Clear();
    void ParseCommand(char* szLine, CConsoleCommand* pCommand);
    void Shutdown();

    int m_bInitialised;
    int m_Width;
    int m_Height;
    IDirect3DSurface9* m_pImageSurface;
    IDirect3DSurface9* m_pBackgroundSurface;
    IDirect3DSurface9* m_pRenderTarget;
    IDirect3DDevice9* m_pDevice;
    int m_bActive;
    int m_SlideState;  // 0 closing, 1 opening, 2 settled
    CConsoleLine* m_pInputLine;
    CConsoleLine* m_pLines;  // newest first; the oldest is a spare that is not shown
    CONSOLECOMMANDHANDLER m_pCommandHandler;
    int m_bHandlerSet;
};

extern int g_ConsoleSlideY;
extern char g_LastConsoleChar;
extern const char g_szConsoleBackground[];
