// The card rules of a game frame: drawing from the deck, choosing, freeing slots, moving, the exit window.
#include "board_fixture.h"

#include "platform/test_hooks.h"
#include "winmain.h"

#include <cstdlib>

namespace boardtest {
namespace {

using platform::hooks::SetFakeClock;

class RulesTest : public BoardTest {
protected:
    void SetUp() override {
        BoardTest::SetUp();
        Load();
        SetFakeClock(100000);
    }
    // A press on the deck as its drawing registers it.
    static void PressDeck() {
        g_Deck.bMouseOver = 1;
        g_Deck.bPressed = 1;
        ApplyDeckRule();
    }
    static int CardsInHand() {
        int n = 0;
        for (int i = 0; i < NUM_CARDS; i++) n += g_CardDrawn[i];
        return n;
    }
};

TEST_F(RulesTest, StartValuesAfterTheFirstLoad) {
    EXPECT_EQ(g_DeckCount, 5);
    EXPECT_EQ(g_HandCount, 0);
    EXPECT_EQ(g_TargetSquare, -1);
    EXPECT_EQ(g_MovingCard, -1);
    EXPECT_EQ(g_DrawnCard, -1);
    for (int i = 0; i < NUM_SQUARES; i++) EXPECT_EQ(g_SquareOccupied[i], 0);
    for (int j = 0; j < HAND_SLOTS; j++) EXPECT_EQ(g_HandSlotFree[j], 1);
    for (int i = 0; i < NUM_CARDS; i++) {
        EXPECT_EQ(g_CardState[i], 0);
        EXPECT_EQ(g_CardDrawn[i], 0);
        EXPECT_EQ(g_HandSlotOfCard[i], NO_HAND_SLOT);
        EXPECT_EQ(g_Cards[i].Image.GetId(), i);
        EXPECT_EQ(g_Cards[i].pCharacterMesh != nullptr, i == 0) << i;
    }
    EXPECT_EQ(g_Cards[0].nMovement, 2);
    EXPECT_FLOAT_EQ(g_LightX, 0.0f);
    EXPECT_FLOAT_EQ(g_LightY, 20.0f);
    EXPECT_FLOAT_EQ(g_LightZ, 10.0f);
    // The light as loaded: (0, 20, 10) and its normalised direction.
    EXPECT_NEAR(g_Light.Direction.y, 0.894427f, 1e-5f);
    EXPECT_NEAR(g_Light.Direction.z, 0.447214f, 1e-5f);
    EXPECT_EQ(g_Light.Type, D3DLIGHT_POINT);
    EXPECT_FLOAT_EQ(g_Light.Range, 1000.0f);
}

TEST_F(RulesTest, TheFirstPressDrawsACardIntoSlotZeroAndLogsIt) {
    PressDeck();
    ASSERT_GE(g_DrawnCard, 0);
    ASSERT_LT(g_DrawnCard, NUM_CARDS);
    EXPECT_EQ(g_DeckCount, 4);
    EXPECT_EQ(g_HandCount, 1);
    EXPECT_EQ(g_CardDrawn[g_DrawnCard], 1);
    EXPECT_EQ(g_HandSlotOfCard[g_DrawnCard], 0);
    EXPECT_EQ(g_HandSlotFree[0], 0);
    EXPECT_EQ(g_Deck.bPressed, 0);
    EXPECT_EQ(g_LastDeckClick, 100000u);
    EXPECT_FLOAT_EQ(g_Cards[g_DrawnCard].Image.fX, g_HandSlotX[0]);
    EXPECT_FLOAT_EQ(g_Cards[g_DrawnCard].Image.fY, g_GuiBar.GetY() + 0.5f);
    const std::string expected = "D3D LOG FILE \r\n\r\n\r\ncarta pescata: " + std::to_string(g_DrawnCard) +
                                 "\t\r\nmessa in posizione - 0\r\n\r\n";
    EXPECT_EQ(ReadLog(), expected);
}

TEST_F(RulesTest, PressesWithinAHundredMillisecondsGiveOneCard) {
    PressDeck();
    SetFakeClock(100100);  // exactly 100 ms later: not accepted
    PressDeck();
    EXPECT_EQ(CardsInHand(), 1);
    EXPECT_EQ(g_Deck.bPressed, 1) << "a refused press keeps its flag";
    SetFakeClock(100101);
    PressDeck();
    EXPECT_EQ(CardsInHand(), 2);
    EXPECT_EQ(g_HandSlotFree[1], 0);
}

TEST_F(RulesTest, SixPressesGiveFiveDifferentCardsInTheFiveSlots) {
    long long now = 100000;
    for (int k = 0; k < 6; k++) {
        SetFakeClock(now);
        PressDeck();
        now += 150;
    }
    EXPECT_EQ(g_DeckCount, 0);
    EXPECT_EQ(g_HandCount, 5);
    bool slotUsed[HAND_SLOTS] = {};
    for (int i = 0; i < NUM_CARDS; i++) {
        EXPECT_EQ(g_CardDrawn[i], 1);
        ASSERT_GE(g_HandSlotOfCard[i], 0);
        ASSERT_LT(g_HandSlotOfCard[i], HAND_SLOTS);
        EXPECT_FALSE(slotUsed[g_HandSlotOfCard[i]]);
        slotUsed[g_HandSlotOfCard[i]] = true;
    }
    // The sixth finds the deck empty, yet clears the flag and stamps the time.
    EXPECT_EQ(g_Deck.bPressed, 0);
    EXPECT_EQ(g_LastDeckClick, DWORD(now - 150));
}

TEST_F(RulesTest, NoCardLeavesTheDeckWithoutAFreeSlotForIt) {
    for (int j = 0; j < HAND_SLOTS; j++) g_HandSlotFree[j] = 0;
    g_HandCount = 4;
    PressDeck();
    EXPECT_EQ(g_DeckCount, 5);
    EXPECT_EQ(CardsInHand(), 0);
    EXPECT_EQ(g_Deck.bPressed, 0);
}

TEST_F(RulesTest, ACardOnTheBoardFreesItsSlotOnceAndTheNextDrawTakesIt) {
    PressDeck();
    const int first = g_DrawnCard;
    SetFakeClock(100200);
    PressDeck();
    ASSERT_EQ(g_HandCount, 2);
    g_CardState[first] = 2;
    ApplyCardRules();
    EXPECT_EQ(g_HandCount, 1);
    EXPECT_EQ(g_HandSlotFree[0], 1);
    EXPECT_EQ(g_HandSlotOfCard[first], NO_HAND_SLOT);
    ApplyCardRules();
    EXPECT_EQ(g_HandCount, 1) << "a slot is freed only once";
    EXPECT_NE(ReadLog().find("Libero la posizione: 0\t\r\n"), std::string::npos);

    SetFakeClock(100400);
    PressDeck();
    EXPECT_EQ(g_HandSlotOfCard[g_DrawnCard], 0) << "the first free slot is taken";
    EXPECT_EQ(g_HandCount, 2);
}

TEST_F(RulesTest, OnlyACardWithACharacterCanBeChosenForPlacing) {
    g_Cards[1].Image.bMouseOver = 1;
    g_Cards[1].Image.bPressed = 1;
    ApplyCardRules();
    EXPECT_EQ(g_CardState[1], 0);
    EXPECT_EQ(g_bPlacing, 0);
    EXPECT_EQ(g_bShowDescription, 1);
    EXPECT_EQ(g_HoveredCard, 1);
    g_Cards[1].Image.bMouseOver = 0;

    g_Cards[0].Image.bMouseOver = 1;
    g_Cards[0].Image.bPressed = 1;
    ApplyCardRules();
    EXPECT_EQ(g_CardState[0], 1);
    EXPECT_EQ(g_bPlacing, 1);
    EXPECT_EQ(g_HoveredCard, 0);
    EXPECT_EQ(g_Cards[0].Image.bPressed, 0);
}

TEST_F(RulesTest, AMoveKeepsTheHeightAndUpdatesTheOccupancy) {
    CCard& dwarf = g_Cards[0];
    dwarf.Character.SetPosition(0.0f, 7.5f, 0.0f);
    dwarf.nSquare = 0;
    g_SquareOccupied[0] = 1;
    g_CardState[0] = 2;
    g_SquareOccupied[16] = 1;  // chosen by the click
    g_TargetSquare = 16;
    dwarf.Character.bSelectedForMove = 1;
    g_bMoving = 1;
    ApplyCardRules();
    EXPECT_EQ(dwarf.nSquare, 0) << "nothing moves while the square is still to be chosen";
    g_bMoving = 0;
    ApplyCardRules();
    float x, y, z, sx, sy, sz;
    dwarf.Character.GetPosition(&x, &y, &z);
    g_Squares[16].GetPosition(&sx, &sy, &sz);
    EXPECT_FLOAT_EQ(x, sx);
    EXPECT_FLOAT_EQ(z, sz);
    EXPECT_FLOAT_EQ(y, 7.5f);
    EXPECT_EQ(dwarf.nSquare, 16);
    EXPECT_EQ(g_SquareOccupied[0], 0);
    EXPECT_EQ(g_SquareOccupied[16], 1);
    EXPECT_EQ(dwarf.Character.bSelectedForMove, 0);
    EXPECT_EQ(g_TargetSquare, -1);
}

TEST_F(RulesTest, TheExitWindowOpensWithTheButtonAndClosesWithNo) {
    ASSERT_NE(g_ExitWindow.pChildren, nullptr);
    CGuiElement& no = g_ExitWindow.pChildren[1];
    no.bMouseOver = 1;
    no.bPressed = 1;
    ApplyExitWindowRules();
    EXPECT_EQ(g_bExitWindowShown, 0);
    EXPECT_EQ(no.bPressed, 0);
    g_ExitButton.bMouseOver = 1;
    g_ExitButton.bPressed = 1;
    ApplyExitWindowRules();
    EXPECT_EQ(g_bExitWindowShown, 1);
    EXPECT_EQ(g_ExitButton.bPressed, 0);
    no.bMouseOver = 1;
    no.bPressed = 1;
    g_ExitButton.bMouseOver = 0;
    ApplyExitWindowRules();
    EXPECT_EQ(g_bExitWindowShown, 0);
}

TEST_F(RulesTest, YesEndsTheProcess) {
    // The child runs the test afresh with a display connection of its own.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    g_ExitWindow.pChildren[0].bMouseOver = 1;
    g_ExitWindow.pChildren[0].bPressed = 1;
    EXPECT_EXIT(ApplyExitWindowRules(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace boardtest
