// The seven game modes: the main menu, the hidden-object scene, the
// transition between levels, the typewriter, the path, the puzzle and the
// prologue. Each opens its screen under a fixed name, loading the level's
// definition library first where it needs one; a library that does not load
// leaves the mode closed. Index 4 has no mode.
#pragma once

#include "game/core/BaseGame.h"

class MenuGame final : public BaseGame
{
public:
    bool Enter() override;
    void Leave() override;
};

class ISpyGame final : public BaseGame
{
public:
    bool Enter() override;
    void Leave() override;
};

class TransitionGame final : public BaseGame
{
public:
    bool Enter() override;
    void Leave() override;
};

class WriterGame final : public BaseGame
{
public:
    bool Enter() override;
    void Leave() override;
};

class PathGame final : public BaseGame
{
public:
    bool Enter() override;
    void Leave() override;
};

class QuenbyGame final : public BaseGame
{
public:
    bool Enter() override;
    void Leave() override;
};

class PrologueGame final : public BaseGame
{
public:
    bool Enter() override;
    void Leave() override;
};

// Registers one object of each mode at its index.
void RegisterGameModes();
