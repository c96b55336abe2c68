#pragma once
// A host's transport at a block's start run on to a span within the block split at its
// parameter changes: when it plays at a valid tempo the position moves on by the frames
// since (quarters = start + frames / rate * tempo / 60), and the bar's start by whole bars
// where the metre is known.

#include <cmath>
#include <cstdint>

#include "engine/sequencer.h"

namespace grainwheel {

inline void runTransportOn(EngineTransport& t, std::int32_t frames, double rate) {
    const bool tempo = (t.flags & EngineTransport::kTempoValid) != 0;
    if (frames <= 0 || !(t.flags & EngineTransport::kPlaying) || !tempo || !(t.flags & EngineTransport::kPpqValid))
        return;
    t.ppqPosition += static_cast<double>(frames) / rate * t.tempo / 60.0;
    if ((t.flags & EngineTransport::kBarsValid) && (t.flags & EngineTransport::kTimeSigValid)) {
        const double quartersPerBar = t.timeSigNumerator * 4.0 / t.timeSigDenominator;
        t.barStart += std::floor((t.ppqPosition - t.barStart) / quartersPerBar) * quartersPerBar;
    }
}

}  // namespace grainwheel
