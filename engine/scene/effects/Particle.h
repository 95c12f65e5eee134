// The particle record of a running effect and its small companions: the
// intrusive list link that keeps every particle in exactly one list (a
// phase's live list or the effect's free pool), the weak reference that
// reads as "no particle" once the record has been freed or reused, and the
// per-particle state nodes that actions keep (emission clocks, frame
// counters). Records and state nodes are pooled by their effect and never
// freed while it lives.
#pragma once

#include <cstdint>

namespace TarnEngine
{

class ParticleTemplate;

namespace Effects
{
class RPfxActionBase;
}

// A node of a circular doubly linked list; a lone node points at itself.
struct ParticleLink
{
    ParticleLink() = default;
    ParticleLink(const ParticleLink&) = delete;
    ParticleLink& operator=(const ParticleLink&) = delete;

    bool IsLinked() const { return next != this; }
    void Unlink()
    {
        prev->next = next;
        next->prev = prev;
        prev = next = this;
    }
    // Links this lone node in front of `where` (at the tail when `where` is a sentinel).
    void InsertBefore(ParticleLink* where)
    {
        prev = where->prev;
        next = where;
        where->prev->next = this;
        where->prev = this;
    }
    // Links this lone node right after `where` (at the head when `where` is a sentinel).
    void InsertAfter(ParticleLink* where) { InsertBefore(where->next); }

    ParticleLink* prev = this;
    ParticleLink* next = this;
};

// Per-particle state of an action, found by (action, key).
struct ActionState
{
    ActionState* next = nullptr;
    const Effects::RPfxActionBase* action = nullptr;
    uint32_t key = 0;
    float value = 0.0f;
};

struct Particle;

// {record, serial}: valid while the record still carries the serial.
struct ParticleRef
{
    Particle* particle = nullptr;
    uint32_t serial = 0;

    inline Particle* Get() const;
    void Reset()
    {
        particle = nullptr;
        serial = 0;
    }
};

struct Particle : ParticleLink
{
    // Raised when the record is taken from the pool and again when it goes back.
    uint32_t serial = 0;
    ParticleRef parent;
    float lifetime = 0.0f;
    float age = 0.0f;
    float x = 0.0f, y = 0.0f;
    float vx = 0.0f, vy = 0.0f;
    float ax = 0.0f, ay = 0.0f; // cleared before the actions of every step
    float targetX = 0.0f, targetY = 0.0f;
    float rotation = 0.0f; // radians
    float scaleX = 1.0f, scaleY = 1.0f;
    float red = 1.0f, green = 1.0f, blue = 1.0f, opacity = 1.0f;
    uint32_t frame = 0; // into the template's image list, modulo its length
    ActionState* states = nullptr;
    // The template whose phases hold the particle (its destruction actions run when it dies).
    ParticleTemplate* owner = nullptr;
    // Set while its destruction actions run, so that an action there cannot kill it again.
    bool dying = false;

    ParticleRef Ref() { return ParticleRef{this, serial}; }
    // The serial starts at 0 and rises once as the record is taken and once
    // as it is given back, so a live record's serial is odd.
    bool IsLive() const { return (serial & 1u) != 0; }
};

inline Particle* ParticleRef::Get() const
{
    return particle && particle->serial == serial ? particle : nullptr;
}

} // namespace TarnEngine
