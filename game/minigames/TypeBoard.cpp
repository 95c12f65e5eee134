// The typewriter board; see TypeBoard.h.
#include "game/minigames/TypeBoard.h"

#include "engine/core/base/RandomGenerator.h"
#include "engine/core/diagnostics/Logger.h"
#include "engine/core/text/StringTable.h"
#include "engine/core/text/TextHelpers.h"
#include "engine/scene/effects/Instance_Effect.h"
#include "engine/scene/display/text/Instance_Text.h"
#include "engine/scene/script/LuaBinding.h"
#include "engine/scene/ui/UserInterface.h"
#include "engine/scene/ui/_ScreenMgr.h"
#include "engine/scene/widgets/Button.h"
#include "game/core/Core.h"
#include "game/core/GameMgr.h"
#include "game/core/GameQuestions.h"
#include "game/core/PlayerState.h"
#include "game/minigames/TypeLetter.h"
#include "game/minigames/TypeWord.h"

#include <cwchar>

using namespace TarnEngine;

TARN_IMPLEMENT_RINSTANCECLASS(TypeBoard, Screen, RObjectFactory<TypeBoard>, L"TypeBoard",
                              &TypeBoard::RegisterLua)

namespace
{

// Children are named from counters that live as long as the process.
uint32_t g_wordSerial = 0;
uint32_t g_letterSerial = 0;

void logGame(const std::wstring& text)
{
    if (ILogger* logger = ILogger::Get())
        logger->Log(LogGame, __FILE__, __LINE__, L"%s", text);
}

std::wstring stringText(const std::wstring& key)
{
    const StringTable* strings = StringTable::GetKeyed();
    return strings ? strings->GetText(key) : key;
}

void playSound(const std::wstring& name)
{
    if (Core* core = Core::Get())
        core->GetSound().PlaySound(name, 0.0f, false);
}

// A particle effect at a point, as a free child of the user interface's root.
void spawnEffect(const wchar_t* effect, float px, float py)
{
    UserInterface* ui = UserInterface::Get();
    if (!ui || !ui->GetRoot())
        return;
    InstanceHandle made;
    SpawnParticleEffect(effect, ui->GetRoot(), made, L"", px, py);
}

Instance_Text* textOf(const InstanceHandle& handle)
{
    return RObjectCast<Instance_Text>(handle.GetInstance());
}

Instance_Movie* movieOf(const InstanceHandle& handle)
{
    Instance_Base* instance = handle.GetInstance();
    return instance && instance->type == INSTANCE_MOVIE ? RObjectCast<Instance_Movie>(instance) : nullptr;
}

std::wstring colourCode(bool completed, int32_t fade)
{
    if (fade < 0 || fade > 99)
        return std::wstring();
    wchar_t buffer[16];
    if (completed)
        std::swprintf(buffer, 16, fade < 10 ? L"^000%d00" : L"^00%d00", int(fade));
    else
        std::swprintf(buffer, 16, fade < 10 ? L"^0%d0000" : L"^%d0000", int(fade));
    return buffer;
}

} // namespace

TypeBoard::TypeBoard() = default;

TypeBoard::~TypeBoard() = default;

void TypeBoard::RegisterLua(lua_State* state)
{
    LuaClassDef def(state);
    def.AddParent(Screen::StaticScriptName());
    def.SetConstructor(&LuaConstruct<TypeBoard>);
    def.Build(StaticScriptName());
}

// ---- The pure parts.

std::wstring TypeBoard::StatusLine(uint32_t printedWords, uint32_t total)
{
    return std::wstring(UntypedColour) + L"\r\n\r\nPrinted Words: " + TypedColour +
           std::to_wstring(printedWords) + UntypedColour + L"/" + std::to_wstring(total) + L". Score: " +
           std::to_wstring(uint64_t(printedWords) * uint64_t(PointsPerWord)) + L".";
}

std::wstring TypeBoard::ColourClosingText(const std::wstring& text, const std::vector<ClosingWord>& list,
                                          int32_t fadeLevel)
{
    // Which word (index + 1) colours each character; 0 none.
    std::vector<uint32_t> owner(text.size(), 0);
    for (size_t i = 0; i < list.size(); ++i)
    {
        const std::wstring& word = list[i].plain;
        if (word.empty() || word.size() > text.size())
            continue;
        for (size_t at = text.find(word); at != std::wstring::npos; at = text.find(word, at + word.size()))
            for (size_t k = 0; k < word.size(); ++k)
                owner[at + k] = uint32_t(i + 1);
    }
    std::wstring out;
    out.reserve(text.size() * 2);
    std::wstring current; // the code in force; empty while uncoloured
    for (size_t k = 0; k < text.size(); ++k)
    {
        const std::wstring code =
            owner[k] ? colourCode(list[owner[k] - 1].completed, fadeLevel) : std::wstring();
        if (code != current)
        {
            out += code.empty() ? std::wstring(UntypedColour) : code;
            current = code;
        }
        out += text[k];
    }
    if (!current.empty())
        out += UntypedColour;
    return out;
}

std::wstring TypeBoard::ClosingView(const std::wstring& closing, const std::vector<ClosingWord>& list,
                                    int32_t fadeLevel, uint32_t printedWords)
{
    return ColourClosingText(closing, list, fadeLevel) + StatusLine(printedWords, uint32_t(list.size())) +
           L"\r\n\r\n\r\n";
}

// ---- Lookups.

std::vector<TypeWord*> TypeBoard::GetWords() const
{
    std::vector<TypeWord*> out;
    for (const InstanceHandle& handle : words)
        out.push_back(RObjectCast<TypeWord>(handle.GetInstance()));
    return out;
}

std::vector<TypeLetter*> TypeBoard::GetLetters() const
{
    std::vector<TypeLetter*> out;
    for (const InstanceHandle& handle : letters)
        if (auto* letter = RObjectCast<TypeLetter>(handle.GetInstance()))
            out.push_back(letter);
    return out;
}

Instance_Movie* TypeBoard::GetHud() const
{
    return movieOf(hud);
}

std::vector<TypeBoard::ClosingWord> TypeBoard::closingWords() const
{
    std::vector<ClosingWord> out;
    for (const InstanceHandle& handle : words)
        if (auto* word = RObjectCast<TypeWord>(handle.GetInstance()))
            out.push_back({word->PlainWord(), word->completed});
    return out;
}

// ---- Set-up.

TypeWord* TypeBoard::createWord(const std::wstring& word, float px, float py)
{
    const std::wstring name = L"word_" + std::to_wstring(g_wordSerial++);
    const InstanceHandle made = Instance_Movie::CreateChild(this, L"mov_typewriter_word", name, nullptr);
    auto* typeWord = RObjectCast<TypeWord>(made.GetInstance());
    if (!typeWord)
    {
        if (Instance_Base* stray = made.GetInstance())
            stray->Delete(true);
        return nullptr;
    }
    typeWord->SetWord(word);
    typeWord->SetPosition(px, py);
    typeWord->velocityX = 0.0f;
    typeWord->velocityY = 1.0f;
    typeWord->StartMoving();
    return typeWord;
}

void TypeBoard::listenTo(const wchar_t* buttonName)
{
    Instance_Movie* hudMovie = GetHud();
    if (!hudMovie)
        return;
    if (auto* button = RObjectCast<Button>(hudMovie->FindChildByPath(buttonName).GetInstance()))
        button->listener = this;
}

void TypeBoard::OnScreenLoaded()
{
    Core* core = Core::Get();
    levelName = core ? core->GetGameMgr().GetCurrentLevelName() : std::wstring();
    std::vector<std::wstring> list =
        SplitString(stringText(L"TypeWriter" + levelName + L"Words"), L',', true);
    if (list.empty())
        return;
    if (list.size() > MaxWords)
    {
        logGame(
            StringPrintf(L"the typewriter takes the first %d of %d words", int(MaxWords), int(list.size())));
        list.resize(MaxWords);
    }

    SetTimeChannel(1);
    if (UserInterface* ui = UserInterface::Get())
    {
        ui->AddGlobalHandler(movieHandle);
        const float screenW = float(ui->screenWidth);
        const float screenH = float(ui->screenHeight);
        zoneLine = 0.4f * screenH;
        failLine = 0.7f * screenH;
        removalLine = 1.1f * screenH;
        scrollStopLine = 0.2f * screenH;
        for (size_t i = 0; i < list.size(); ++i)
        {
            const float px = PoolRandomRange(0.3f * screenW, 0.7f * screenW);
            const float py = -100.0f - 200.0f * float(i);
            if (TypeWord* word = createWord(list[i], px, py))
                words.push_back(word->movieHandle);
        }
    }

    text = FindChildByPath(L"text").AsText();
    paper = FindChildByPath(L"paper").AsMovie();
    hud = FindChildByPath(L"hud").AsMovie();
    if (!text.IsValid() || !paper.IsValid() || !hud.IsValid())
    {
        logGame(L"the typewriter board lacks \"text\", \"paper\" or \"hud\"");
        return;
    }
    listenTo(L"btn_menu");
    listenTo(L"btn_skip");
    if (Instance_Text* status = textOf(text))
    {
        status->SetColor(0xFFFFFF);
        status->SetText(StatusLine(printed, uint32_t(words.size())));
    }
    if (core)
        core->GetSound().PlayMusic(L"Typewriter" + levelName + L"Music", 0.0f, false);

    MessageBoxRequest request;
    request.caption = L"|T|HINT_Typewriter_TITLE";
    request.message = L"|T|HINT_Typewriter_INFO";
    request.center = L"|T|Ok";
    request.listener = this;
    request.id = IntroBoxId;
    AskPlayer(request);
}

// ---- Typing.

TypeLetter* TypeBoard::createLetter(wchar_t c, bool correct)
{
    const std::wstring name = L"letter_" + std::to_wstring(g_letterSerial++);
    const InstanceHandle made = Instance_Movie::CreateChild(this, L"mov_typewriter_letter", name, nullptr);
    auto* letter = RObjectCast<TypeLetter>(made.GetInstance());
    if (!letter)
    {
        if (Instance_Base* stray = made.GetInstance())
            stray->Delete(true);
        return nullptr;
    }
    letter->SetCharacter(c);
    letter->SetPosition(LaunchX, LaunchY);
    if (!correct)
    {
        letter->LaunchOff();
        return letter;
    }
    auto* word =
        currentWord < words.size() ? RObjectCast<TypeWord>(words[currentWord].GetInstance()) : nullptr;
    float px = 0.0f, py = 0.0f;
    if (word)
        word->LetterPosition(currentLetter, px, py);
    if (!word || !letter->Aim(word, px, py, word->velocityX, word->velocityY))
    {
        // No flight can reach the slot: the letter arrives at once, or it would fly for ever and
        // the board would never end.
        if (word && word->AcceptLetter(c))
        {
            spawnEffect(L"Tovan_Hint", word->x, word->y);
            playSound(L"success_bell");
            word->SetVisible(false);
            word->state = TypeWord::StateFinished;
        }
        spawnEffect(L"ScoreGlow", letter->x, letter->y);
        letter->state = TypeLetter::StateFinished;
    }
    return letter;
}

void TypeBoard::OnChar(InstanceHandle instance, uint32_t character)
{
    if (!IsSelf(instance))
        return;
    if (_ScreenMgr* manager = _ScreenMgr::Get(); manager && manager->GetTopModalScreen())
        return;
    if (state != StatePlaying || character == 0 || character > 0xFFFF ||
        !std::wcschr(AllowedCharacters, wchar_t(character)))
        return;
    const wchar_t c = wchar_t(character);
    auto* word =
        currentWord < words.size() ? RObjectCast<TypeWord>(words[currentWord].GetInstance()) : nullptr;
    const bool correct = word && word->CharAt(currentLetter) == c && currentLetter < word->Length();
    // The aim is taken from the slot before the typing position moves on.
    TypeLetter* letter = createLetter(c, correct);
    if (!letter)
        return;
    letters.push_back(letter->movieHandle);
    if (correct)
    {
        advance(1);
        playSound(L"Typewriter_key");
    }
    else
    {
        playSound(L"bell_fail");
    }
}

void TypeBoard::setStatus()
{
    if (Instance_Text* status = textOf(text))
        status->SetText(StatusLine(printed, uint32_t(words.size())));
}

void TypeBoard::advance(int reason)
{
    if (words.empty() || !text.IsValid())
        return;
    if (reason == 1)
    {
        auto* word =
            currentWord < words.size() ? RObjectCast<TypeWord>(words[currentWord].GetInstance()) : nullptr;
        ++currentLetter;
        if (!word || currentLetter >= word->Length())
        {
            if (word)
                word->completed = true;
            ++currentWord;
            currentLetter = 0;
            ++printed;
            setStatus();
        }
    }
    else
    {
        ++currentWord;
        currentLetter = 0;
    }
}

// ---- The frame.

void TypeBoard::OnFrameUpdate(float)
{
    switch (state)
    {
    case StatePlaying:
        stepWords();
        stepLetters();
        endCheck();
        break;
    case StateScrolling:
    {
        Instance_Base* status = text.GetInstance();
        Instance_Base* page = paper.GetInstance();
        if (status)
            status->SetY(status->y - 2.0f);
        if (page)
            page->SetY(page->y - 2.0f);
        if ((status && status->y < scrollStopLine) || (page && page->y < scrollStopLine) ||
            (!status && !page))
            state = StateFading;
        break;
    }
    case StateFading:
        fade -= 3;
        if (fade < 0)
            fade = 0;
        if (fade % 3 == 0)
            showClosingView();
        if (fade == 0)
        {
            state = StateDone;
            listenTo(L"btn_done");
        }
        break;
    default:
        break;
    }
}

void TypeBoard::stepWords()
{
    for (size_t i = 0; i < words.size(); ++i)
    {
        auto* word = RObjectCast<TypeWord>(words[i].GetInstance());
        if (!word)
            continue;
        if (word->state == TypeWord::StateFalling || word->state == TypeWord::StateFallingInZone)
            word->SetPosition(word->x + word->velocityX, word->y + word->velocityY);
        if (word->state == TypeWord::StateRestingInZone || word->state == TypeWord::StateFallingInZone)
            word->OpacityPulse();
        if ((word->state == TypeWord::StateResting || word->state == TypeWord::StateFalling) &&
            word->y >= zoneLine)
        {
            word->state = word->state == TypeWord::StateResting ? TypeWord::StateRestingInZone
                                                                : TypeWord::StateFallingInZone;
            continue;
        }
        if (word->state != TypeWord::StateFinished && word->y >= failLine)
        {
            word->SetVisible(false);
            word->state = TypeWord::StateFinished;
            playSound(L"letter_fail");
            if (i == currentWord)
                advance(2);
        }
    }
}

void TypeBoard::stepLetters()
{
    for (auto it = letters.begin(); it != letters.end();)
    {
        auto* letter = RObjectCast<TypeLetter>(it->GetInstance());
        if (!letter)
        {
            it = letters.erase(it);
            continue;
        }
        if (letter->state == TypeLetter::StateFinished)
        {
            RemoveAndQueueDelete(letter);
            it = letters.erase(it);
            continue;
        }
        if (letter->state == TypeLetter::StateHoming)
        {
            auto* word = RObjectCast<TypeWord>(letter->word.GetInstance());
            if (!word || word->state == TypeWord::StateFinished)
                letter->LaunchOff();
        }
        if (letter->state == TypeLetter::StateFlyingOff)
        {
            if (letter->FlyOffStep())
                spawnEffect(L"pellwood_letter_1", letter->x, letter->y);
        }
        else if (letter->state == TypeLetter::StateHoming)
        {
            bool effectDue = false;
            if (letter->HomingStep(effectDue))
            {
                auto* word = RObjectCast<TypeWord>(letter->word.GetInstance());
                if (word && word->AcceptLetter(letter->character))
                {
                    spawnEffect(L"Tovan_Hint", word->x, word->y);
                    playSound(L"success_bell");
                    word->SetVisible(false);
                    word->state = TypeWord::StateFinished;
                }
                spawnEffect(L"ScoreGlow", letter->x, letter->y);
                letter->state = TypeLetter::StateFinished;
            }
            else if (effectDue)
            {
                spawnEffect(L"pellwood_letter_2", letter->x, letter->y);
            }
        }
        if (letter->state != TypeLetter::StateFinished && letter->y >= removalLine)
        {
            letter->SetVisible(false);
            letter->state = TypeLetter::StateFinished;
        }
        ++it;
    }
}

void TypeBoard::endCheck()
{
    if (words.empty() || !letters.empty() || !text.IsValid())
        return;
    for (const InstanceHandle& handle : words)
        if (auto* word = RObjectCast<TypeWord>(handle.GetInstance());
            word && word->state != TypeWord::StateFinished)
            return;
    closingText = stringText(L"TypeWriter" + levelName + L"Text");
    if (closingText.empty())
        return;
    Core* core = Core::Get();
    if (core)
        core->GetSound().StopMusic(1.0f);
    state = StateScrolling;
    playSound(stringText(L"typewriter_" + levelName + L"_voice"));
    fade = 99;
    showClosingView();
    if (Instance_Movie* hudMovie = GetHud())
        hudMovie->SetFrame(1);
}

void TypeBoard::showClosingView()
{
    if (Instance_Text* status = textOf(text))
        status->SetText(ClosingView(closingText, closingWords(), fade, printed));
}

// ---- Buttons and boxes.

void TypeBoard::HandleButtonPressed(Button* button)
{
    if (!button)
        return;
    const std::wstring& name = button->name;
    if (name == L"btn_menu")
    {
        if (_ScreenMgr* manager = _ScreenMgr::Get())
            manager->OpenScreen(L"dlg_ingamemenu", L"", true, true);
    }
    else if (name == L"btn_skip")
    {
        MessageBoxRequest request;
        request.caption = L"|T|TypeWriter Skip Header";
        request.message = L"|T|TypeWriter Skip Text";
        request.left = L"|T|Yes";
        request.right = L"|T|No";
        request.listener = this;
        request.id = SkipBoxId;
        AskPlayer(request);
    }
    else if (name == L"btn_done" && state == StateDone)
    {
        Core* core = Core::Get();
        if (!core)
            return;
        PlayerState& player = core->GetGameMgr().GetPlayerState();
        if (player.GetLuaTable().GetMethod("AddScore"))
            LuaCallWithNumber(player.GetLuaTable().GetState(), double(printed) * PointsPerWord);
        core->GetGameMgr().OnLevelEnd();
    }
}

void TypeBoard::HandleMsgBox(int32_t id, int32_t result)
{
    if (id == SkipBoxId && result == 0)
    {
        if (Core* core = Core::Get())
            core->GetGameMgr().OnLevelEnd();
    }
    else if (id == IntroBoxId && result == 1 && state == StateIntro)
    {
        state = StatePlaying;
        logGame(StringPrintf(L"the typewriter starts with %d words", int(words.size())));
    }
}
