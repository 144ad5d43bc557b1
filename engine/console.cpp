#include "console.h"
#include "log.h"
#include "surface.h"
#include "text.h"

#include <d3dx9.h>
#include <string.h>

int g_ConsoleSlideY = 0;
char g_LastConsoleChar = 0;
const char g_szConsoleBackground[] = "..\\Immagini\\ConsoleBackground.bmp";

// The slide position is placed at the console's height by the first Render after Init.
static int s_bSlidePlaced = 0;

CConsoleLine::CConsoleLine() {
    m_szText = new char[CONSOLE_LINE_SIZE];
    memset(m_szText, 0, CONSOLE_LINE_SIZE);
    m_pNext = NULL;
    m_Y = 0;
}

CConsoleLine::~CConsoleLine() {
    delete[] m_szText;
}

int CConsoleLine::GetText(char* szDest, int nSize) {
    if (szDest == NULL || nSize <= 0) return 0;
    memcpy(szDest, m_szText, nSize < CONSOLE_LINE_SIZE ? nSize : CONSOLE_LINE_SIZE);
    return 0;
}

int CConsoleLine::SetText(const char* szText) {
    memset(m_szText, 0, CONSOLE_LINE_SIZE);
    if (szText != NULL) strncpy(m_szText, szText, CONSOLE_LINE_SIZE - 1);
    return 0;
}

int CConsoleLine::AddChar(char c) {
    size_t nLength = strlen(m_szText);
    if (c == 8) {
        if (nLength > 0) m_szText[nLength - 1] = 0;
    } else if (nLength < CONSOLE_LINE_SIZE - 1) {
        m_szText[nLength] = c;
    }
    return 0;
}

int CConsoleLine::Render(int nMaxChars, DWORD* pBits, int pitch, int width, int height) {
    char szShown[CONSOLE_LINE_SIZE];
    memcpy(szShown, m_szText, CONSOLE_LINE_SIZE);
    if (nMaxChars >= 0 && nMaxChars < CONSOLE_LINE_SIZE) szShown[nMaxChars] = 0;
    szShown[CONSOLE_LINE_SIZE - 1] = 0;
    PrintString(10, m_Y, szShown, TRUE, 0x00000000, pBits, pitch, width, height);
    return 0;
}

CConsoleLine* CConsoleLine::GetNext() {
    return m_pNext;
}

void CConsoleLine::SetNext(CConsoleLine* pNext) {
    m_pNext = pNext;
}

int CConsoleLine::GetY() {
    return m_Y;
}

CConsoleLine* CConsoleLine::SetY(int y) {
    m_Y = y;
    return this;
}

CConsoleCommand::CConsoleCommand() {
    m_szCommand = NULL;
    m_nParams = 0;
    for (int i = 0; i < CONSOLE_MAX_PARAMS; i++) m_szParams[i] = NULL;
}

CConsoleCommand::~CConsoleCommand() {
    delete[] m_szCommand;
    for (int i = 0; i < CONSOLE_MAX_PARAMS; i++) delete[] m_szParams[i];
}

CConsole::CConsole() {
    m_bInitialised = 0;
    m_Width = 0;
    m_Height = 0;
    m_pImageSurface = NULL;
    m_pBackgroundSurface = NULL;
    m_pRenderTarget = NULL;
    m_pDevice = NULL;
    m_bActive = 0;
    m_SlideState = 2;
    m_pInputLine = NULL;
    m_pLines = NULL;
    m_pCommandHandler = NULL;
    m_bHandlerSet = 0;
}

CConsole::~CConsole() {
    Shutdown();
}

HRESULT CConsole::Init(IDirect3DDevice9* pDevice, IDirect3DSurface9* pRenderTarget) {
    if (pDevice == NULL || pRenderTarget == NULL) return E_FAIL;
    // The lines are alphabet cells, and at least one must show above the input line.
    if (!g_AlphabetLoaded) return E_FAIL;
    D3DSURFACE_DESC desc;
    if (FAILED(pRenderTarget->GetDesc(&desc))) return E_FAIL;
    int nLines = (int)(desc.Height / 2) / g_LetterHeight;
    if (nLines < 2) return E_FAIL;
    Shutdown();

    m_pDevice = pDevice;
    m_pDevice->AddRef();
    m_pRenderTarget = pRenderTarget;
    m_pRenderTarget->AddRef();
    m_Width = (int)desc.Width;
    m_Height = (int)(desc.Height / 2);

    if (FAILED(m_pDevice->CreateOffscreenPlainSurface(m_Width, m_Height, D3DFMT_X8R8G8B8,
                                                      D3DPOOL_SYSTEMMEM, &m_pImageSurface, NULL))) {
        ReportError("Unable to create image surface for console");
        Shutdown();
        return E_FAIL;
    }
    if (FAILED(LoadBitmapToSurface(g_szConsoleBackground, &m_pBackgroundSurface, m_pDevice))) {
        ReportError("Unable to load console background image");
        Shutdown();
        return E_FAIL;
    }
    m_bInitialised = 1;
    s_bSlidePlaced = 0;

    CConsoleLine* pLine = new CConsoleLine;
    m_pLines = pLine;
    m_pInputLine = pLine;
    for (int i = 1; i < nLines; i++) {
        CConsoleLine* pNew = new CConsoleLine;
        pLine->SetNext(pNew);
        pLine->SetY(m_Height - 5 - i * g_LetterHeight);
        pLine = pNew;
    }
    return S_OK;
}

void CConsole::SetCommandHandler(CONSOLECOMMANDHANDLER pHandler) {
    m_pCommandHandler = pHandler;
    m_bHandlerSet = 1;
}

int CConsole::OnKeyDown(WPARAM key) {
    if (!m_bInitialised) return 0;
    switch (key) {
    case VK_F11:
        SetActive(!IsActive());
        break;
    case VK_RETURN:
        if (!m_bActive) break;
        OnChar(0);
        if (m_bHandlerSet && m_pCommandHandler != NULL) {
            char* szLine = new char[CONSOLE_LINE_SIZE];
            m_pInputLine->GetText(szLine, CONSOLE_LINE_SIZE);
            if (strcmp(szLine, "") != 0 && strcmp(szLine, " ") != 0) {
                CConsoleCommand* pCommand = new CConsoleCommand;
                ParseCommand(szLine, pCommand);
                // A line of delimiters only holds no command.
                if (pCommand->m_szCommand != NULL && m_pCommandHandler(pCommand) < 0)
                    Print("-- Unknown Command --");
                delete pCommand;
            }
            delete[] szLine;
        }
        NewLine();
        break;
    case VK_LEFT:
        OnChar(8);
        break;
    default:
        break;
    }
    return 0;
}

int CConsole::OnChar(char c) {
    if (!m_bInitialised || !m_bActive || c == 13) return 0;
    if (c == 9) c = ' ';
    // No space at the start of a line and no two in a row.
    if (c == ' ' && (g_LastConsoleChar == ' ' || g_LastConsoleChar == 0)) return 0;
    if (c != 0) m_pInputLine->AddChar(c);
    g_LastConsoleChar = c;
    return 0;
}

void CConsole::Render() {
    if (!m_bInitialised) return;
    if (!s_bSlidePlaced) {
        g_ConsoleSlideY = m_Height;
        s_bSlidePlaced = 1;
    }
    if (m_SlideState == 1) {
        g_ConsoleSlideY -= 10;
        if (g_ConsoleSlideY <= 0) {
            g_ConsoleSlideY = 0;
            m_SlideState = 2;
        }
    } else if (m_SlideState == 0) {
        g_ConsoleSlideY += 10;
        if (g_ConsoleSlideY >= m_Height) {
            g_ConsoleSlideY = m_Height;
            m_bActive = 0;
            m_SlideState = 2;
        }
    }
    if (!m_bActive) return;

    D3DXLoadSurfaceFromSurface(m_pImageSurface, NULL, NULL, m_pBackgroundSurface, NULL, NULL,
                               D3DX_FILTER_LINEAR, 0);
    D3DLOCKED_RECT locked;
    if (FAILED(m_pImageSurface->LockRect(&locked, NULL, 0))) return;
    for (CConsoleLine* pLine = m_pLines; pLine != NULL && pLine->GetNext() != NULL;
         pLine = pLine->GetNext())
        pLine->Render(CONSOLE_LINE_SIZE, (DWORD*)locked.pBits, locked.Pitch, m_Width, m_Height);
    m_pImageSurface->UnlockRect();

    // While it slides, the lower part of the image shows at the top of the screen.
    if (g_ConsoleSlideY > 0 && g_ConsoleSlideY < m_Height) {
        RECT rcShown = {0, g_ConsoleSlideY, m_Width, m_Height};
        POINT ptTop = {0, 0};
        m_pDevice->UpdateSurface(m_pImageSurface, &rcShown, m_pRenderTarget, &ptTop);
    } else {
        CopySurfaceToSurface(NULL, m_pImageSurface, NULL, m_pRenderTarget, FALSE, 0);
    }
}

int CConsole::IsActive() {
    return m_bActive;
}

CConsole* CConsole::SetActive(int bOpen) {
    m_bActive = 1;
    m_SlideState = bOpen ? 1 : 0;
    return this;
}

void CConsole::Print(const char* szText) {
    // Without lines (not initialised, or shut down) there is nothing to print on.
    if (m_pLines == NULL) return;
    NewLine();
    m_pInputLine->SetText(szText);
}

void CConsole::NewLine() {
    if (m_pLines == NULL) return;
    CConsoleLine* pLine = m_pLines;
    while (pLine->GetNext()->GetNext() != NULL) {
        pLine->SetY(pLine->GetY() - g_LetterHeight);
        pLine = pLine->GetNext();
    }
    pLine->SetY(pLine->GetY() - g_LetterHeight);
    // pLine is now the last shown line; the spare behind it goes.
    delete pLine->GetNext();
    pLine->SetNext(NULL);

    CConsoleLine* pNew = new CConsoleLine;
    pNew->SetNext(m_pLines);
    pNew->SetY(m_Height - 5 - g_LetterHeight);
    m_pLines = pNew;
    m_pInputLine = pNew;
}

void CConsole::Clear() {
    for (CConsoleLine* pLine = m_pLines; pLine != NULL && pLine->GetNext() != NULL;
         pLine = pLine->GetNext())
        pLine->SetText("");
}

void CConsole::ParseCommand(char* szLine, CConsoleCommand* pCommand) {
    // strtok would go on through the last line it was given.
    if (szLine == NULL || pCommand == NULL) return;
    _strlwr(szLine);
    char* szToken = strtok(szLine, " ,");
    if (szToken == NULL) return;
    pCommand->m_szCommand = CopyName(szToken);
    while ((szToken = strtok(NULL, " ,")) != NULL && pCommand->m_nParams < CONSOLE_MAX_PARAMS) {
        pCommand->m_szParams[pCommand->m_nParams] = CopyName(szToken);
        pCommand->m_nParams++;
    }
}

void CConsole::Shutdown() {
    if (m_pImageSurface != NULL) {
        m_pImageSurface->Release();
        m_pImageSurface = NULL;
    }
    if (m_pBackgroundSurface != NULL) {
        m_pBackgroundSurface->Release();
        m_pBackgroundSurface = NULL;
    }
    if (m_pRenderTarget != NULL) {
        m_pRenderTarget->Release();
        m_pRenderTarget = NULL;
    }
    if (m_pDevice != NULL) {
        m_pDevice->Release();
        m_pDevice = NULL;
    }
    CConsoleLine* pLine = m_pLines;
    while (pLine != NULL) {
        CConsoleLine* pNext = pLine->GetNext();
        delete pLine;
        pLine = pNext;
    }
    m_pLines = NULL;
    m_pInputLine = NULL;
    m_bInitialised = 0;
}
