// The typewriter mini-game: the screen the writer game mode opens for a level. The level's words
// fall from the top; every key the player types fires a letter from near the bottom, which homes on
// its slot in the current word when it is the right one and tumbles away otherwise. Words that fall
// past the fail line are missed. When every word is done the level's closing text scrolls up with
// the printed words in green and the missed ones in red, both fading to black, and "btn_done" leaves
// the level with 3000 points a printed word.
//
// The board is its own instance's input handler and a global key handler (characters reach it from
// the user interface as code points, once each), steps once per frame of the game clock (channel 1,
// so a paused game stops it), and answers the intro and skip boxes. Its children are made from the
// definitions "mov_typewriter_word" and "mov_typewriter_letter" of the library "typewriter".
//
// The closing view is a plain function (ClosingView) so that it can be checked and fuzzed alone.
#pragma once

#include "engine/core/base/InstanceHandle.h"
#include "engine/scene/ui/Screen.h"
#include "game/ui/UIMessageBoxListener.h"

#include <cstdint>
#include <list>
#include <string>
#include <vector>

class TypeLetter;
class TypeWord;

class TypeBoard final : public TarnEngine::Screen, public UIMessageBoxListener
{
    TARN_RCLASS(TypeBoard)
    TARN_LUA_CLASS("TypeBoard")
public:
    enum State : int32_t
    {
        StateIntro = 0,
        StatePlaying = 1,
        StateScrolling = 2,
        StateFading = 3,
        StateDone = 4,
    };

    static constexpr const wchar_t* AllowedCharacters =
        L"qwertyuiopasdfghjklzxcvbnmQWERTYUIOPASDFGHJKLZXCVBNM'";
    static constexpr const wchar_t* TypedColour = L"^009900";
    static constexpr const wchar_t* UntypedColour = L"^000000";
    static constexpr const wchar_t* MissedColour = L"^990000";
    static constexpr int32_t PointsPerWord = 3000;
    static constexpr float LaunchX = 555.0f;
    static constexpr float LaunchY = 620.0f;
    static constexpr int32_t IntroBoxId = 175;
    static constexpr int32_t SkipBoxId = 150;
    // A word list longer than this is cut (with a log line): it comes from content.
    static constexpr size_t MaxWords = 500;

    // A word as the closing view needs it.
    struct ClosingWord
    {
        std::wstring plain;
        bool completed = false;
    };

    TypeBoard();
    ~TypeBoard() override;

    // Screen: set-up when the board's instance is attached.
    void OnScreenLoaded() override;
    // IInstanceEventHandler: a typed character (a code point).
    void OnChar(TarnEngine::InstanceHandle instance, uint32_t character) override;
    // Instance_Movie: one frame of the game clock.
    void OnFrameUpdate(float dt) override;
    // ButtonListener: "btn_menu", "btn_skip", "btn_done".
    void HandleButtonPressed(TarnEngine::Button* button) override;
    // UIMessageBoxListener: the intro and skip boxes.
    void HandleMsgBox(int32_t id, int32_t result) override;

    // "^000000" + "\r\n\r\nPrinted Words: " + "^009900" + printed + "^000000" + "/total. Score: points."
    static std::wstring StatusLine(uint32_t printed, uint32_t total);
    // The closing text coloured by the words: each character takes the colour of the last word, in
    // word order, one of whose occurrences (found left to right, not overlapping) covers it; a colour
    // code is written wherever the colour changes, and "^000000" after the last coloured run. Printed
    // words shade from green, the others from red, by the fade 0..99 (above 99: no colour).
    static std::wstring ColourClosingText(const std::wstring& text, const std::vector<ClosingWord>& words,
                                          int32_t fade);
    // The coloured closing text, the status line and three line breaks.
    static std::wstring ClosingView(const std::wstring& text, const std::vector<ClosingWord>& words,
                                    int32_t fade, uint32_t printed);

    int32_t GetState() const { return state; }
    uint32_t GetPrinted() const { return printed; }
    uint32_t GetCurrentWord() const { return currentWord; }
    uint32_t GetCurrentLetter() const { return currentLetter; }
    int32_t GetFade() const { return fade; }
    const std::wstring& GetClosingText() const { return closingText; }
    std::vector<TypeWord*> GetWords() const;
    std::vector<TypeLetter*> GetLetters() const;
    float GetZoneLine() const { return zoneLine; }
    float GetFailLine() const { return failLine; }
    float GetRemovalLine() const { return removalLine; }
    float GetScrollStopLine() const { return scrollStopLine; }
    TarnEngine::Instance_Movie* GetHud() const;

    static void RegisterLua(lua_State* state);

private:
    TypeWord* createWord(const std::wstring& word, float px, float py);
    TypeLetter* createLetter(wchar_t c, bool correct);
    void advance(int reason);
    void stepWords();
    void stepLetters();
    void endCheck();
    void showClosingView();
    void setStatus();
    void listenTo(const wchar_t* buttonName);
    std::vector<ClosingWord> closingWords() const;

    int32_t state = StateIntro;
    TarnEngine::InstanceHandle text;
    TarnEngine::InstanceHandle paper;
    TarnEngine::InstanceHandle hud;
    std::wstring closingText;
    std::wstring levelName;
    std::vector<TarnEngine::InstanceHandle> words;
    std::list<TarnEngine::InstanceHandle> letters;
    float zoneLine = 0.0f;
    float failLine = 0.0f;
    float removalLine = 0.0f;
    float scrollStopLine = 0.0f;
    uint32_t currentWord = 0;
    uint32_t currentLetter = 0;
    uint32_t printed = 0;
    int32_t fade = 99;
};
