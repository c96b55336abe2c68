#pragma once
// HostPosition: the transport as an LV2 host tells it. Hosts send a time:Position object
// when something changes (start, stop, relocation, tempo or metre); between two of them
// the position runs on at the tempo and speed last given. The engine's transport answer
// for any frame is worked out from the last position and the frames since, with the same
// arithmetic a VST 2 host uses (quarters = frames / rate * tempo / 60), so the engine sees
// the same numbers under either format.

#include <cstdint>

#include "engine/grain_engine.h"

namespace grainwheel::lv2 {

// The fields of one time:Position object; a field the host left out is not `has`.
struct PositionUpdate {
    enum : std::uint32_t {
        kBar = 1, kBarBeat = 2, kBeat = 4, kBeatUnit = 8, kBeatsPerBar = 16, kTempo = 32, kSpeed = 64,
    };
    std::uint32_t has = 0;
    double bar = 0.0, barBeat = 0.0, beat = 0.0, beatUnit = 4.0, beatsPerBar = 4.0, tempo = 0.0, speed = 0.0;
};

class HostPosition {
public:
    explicit HostPosition(double sampleRate = 44100.0) : rate_(sampleRate) {}
    // A position received now (at the frame the block being run has got to). Fields left
    // out keep their values; without a beat or bar the position runs on from where it is.
    void take(const PositionUpdate& u) noexcept;
    // The frames just run.
    void advance(std::int64_t frames) noexcept;
    // The engine's view at the current frame; false while no tempo is known (the engine
    // then runs as with a host that gives no time information).
    bool answer(EngineTransport& out) const noexcept;

private:
    double quartersNow() const noexcept;

    double rate_;
    bool known_ = false;
    double anchorQuarters_ = 0.0;  // at the last position
    std::int64_t since_ = 0;       // frames run since then
    double tempo_ = 0.0;           // beats per minute
    double speed_ = 0.0;           // 0 stopped, 1 rolling
    double beatUnit_ = 4.0;
    double beatsPerBar_ = 4.0;
};

}  // namespace grainwheel::lv2
