// MessageBoxA: scripted answers, and the real box operated through injected keys.
#include <windows.h>

#include "platform/test_hooks.h"
#include "win32/window_system.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct KeyScript {
    std::vector<SDL_Scancode> keys;
    bool shift = false;
};

Uint32 PushKeys(Uint32, void* param) {
    auto* script = static_cast<KeyScript*>(param);
    for (SDL_Scancode sc : script->keys) {
        for (Uint32 type : {Uint32(SDL_KEYDOWN), Uint32(SDL_KEYUP)}) {
            SDL_Event e = {};
            e.type = type;
            e.key.keysym.scancode = sc;
            e.key.keysym.mod = script->shift ? KMOD_LSHIFT : KMOD_NONE;
            SDL_PushEvent(&e);
        }
    }
    return 0;
}

int AskWithKeys(UINT type, std::vector<SDL_Scancode> keys) {
    EXPECT_TRUE(platform::win32::WindowSystem::Get().EnsureVideo());
    KeyScript script{std::move(keys)};
    SDL_TimerID timer = SDL_AddTimer(300, PushKeys, &script);
    int answer = MessageBoxA(nullptr, "Modalit\xE0 schermo-intero? (1024x768x16)",
                             "Apertura Applicazione", type);
    SDL_RemoveTimer(timer);
    return answer;
}

TEST(MessageBox, ScriptedAnswersAreRecorded) {
    platform::hooks::TakeMessageBoxRecords();
    platform::hooks::ScriptMessageBoxAnswers({IDNO, IDYES});
    EXPECT_EQ(MessageBoxA(nullptr, "a", "b", MB_YESNO), IDNO);
    EXPECT_EQ(MessageBoxA(nullptr, "c", nullptr, MB_OK | MB_ICONEXCLAMATION), IDYES);
    auto records = platform::hooks::TakeMessageBoxRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].text, "a");
    EXPECT_EQ(records[0].caption, "b");
    EXPECT_EQ(records[0].type, UINT(MB_YESNO));
    EXPECT_EQ(records[1].caption, "Error");  // a null caption reads "Error"
    EXPECT_EQ(records[1].type, UINT(0x30));
}

TEST(MessageBox, EnterTakesTheDefaultButton) {
    EXPECT_EQ(AskWithKeys(MB_YESNO | MB_ICONQUESTION, {SDL_SCANCODE_RETURN}), IDYES);
}

TEST(MessageBox, TabAndArrowsMoveTheFocus) {
    EXPECT_EQ(AskWithKeys(MB_YESNO | MB_ICONQUESTION, {SDL_SCANCODE_TAB, SDL_SCANCODE_RETURN}), IDNO);
    EXPECT_EQ(AskWithKeys(MB_YESNO, {SDL_SCANCODE_RIGHT, SDL_SCANCODE_LEFT, SDL_SCANCODE_SPACE}), IDYES);
}

TEST(MessageBox, EscapeAnswersOnlyWhereTheBoxAllowsIt) {
    // A Yes / No box ignores Escape; N then answers No.
    EXPECT_EQ(AskWithKeys(MB_YESNO, {SDL_SCANCODE_ESCAPE, SDL_SCANCODE_N}), IDNO);
    EXPECT_EQ(AskWithKeys(MB_OK | MB_ICONEXCLAMATION, {SDL_SCANCODE_ESCAPE}), IDOK);
}

}  // namespace
