#include "engine/sequencer.h"

#include <climits>
#include <cmath>

#include "engine/conversions.h"

namespace grainwheel {

void TransportState::take(const EngineTransport& t) noexcept {
    const std::int32_t flags = t.flags;
    ppqValid = flags & EngineTransport::kPpqValid;
    ppqPosition = t.ppqPosition;
    barsValid = flags & EngineTransport::kBarsValid;
    barStart = t.barStart;
    tempoValid = flags & EngineTransport::kTempoValid;
    if (t.tempo > 0.0 && t.tempo < 1.0e6) tempo = t.tempo;
    timeSigValid = flags & EngineTransport::kTimeSigValid;
    timeSigNumerator = static_cast<double>(t.timeSigNumerator);
    timeSigDenominator = static_cast<double>(t.timeSigDenominator);
    playing = flags & EngineTransport::kPlaying;
}

bool Sequencer::alignToHost(TransportState& host, bool trigmode, std::int32_t sampleFrames) noexcept {
    const float rate = sampleRate;
    const double tempo = host.tempo;  // always above 0: lower tempos are not taken
    const float unitBeats = unitLengthBeats;
    if (unitBeats == 0.0f || !std::isfinite(unitBeats)) {
        currentUnit = 0;
        samplesPerUnit = 2048;
        unitCountdown = sampleFrames + 1;
        return false;
    }
    if (host.timeSigValid == 0) {
        host.timeSigNumerator = 4.0;
        host.timeSigDenominator = 4.0;
    }
    // The grain sizes are truncated single-precision products, here and in unitSetup.
    samplesPerBeat = rate * 60.0f / static_cast<float>(tempo);
    samplesPerUnit = truncClamped(samplesPerBeat * unitBeats, 0, INT_MAX);
    const bool realign =
        host.ppqValid != 0 && host.barsValid != 0 && host.tempoValid != 0 && (!trigmode || host.playing != 0);
    const double cycle = 16.0 * host.timeSigNumerator / host.timeSigDenominator;
    if (!realign || !(cycle > 0.0) || !std::isfinite(cycle)) return false;
    const double ppq = host.ppqPosition;
    const double pos = ppq - cycle * std::trunc(host.barStart / cycle);
    const double units = 16.0 * static_cast<double>(unitBeats);
    const double t = pos / units;
    double within = t - std::trunc(t);
    if (within < 0.0) within += 1.0;  // a position before the bar start
    const int u = truncClamped(within * 16.0, 0, kNumUnits - 1);
    const bool ended = previousUnit == kNumUnits - 1 && u == 0 && std::isfinite(pos);
    previousUnit = u;
    currentUnit = u;
    const double unit = unitBeats;
    double into = pos - unit * std::trunc(pos / unit);
    if (into < 0.0) into += unit;
    unitCountdown = truncClamped((unit - into) * samplesPerBeat, 0, INT_MAX);
    return ended;
}

}  // namespace grainwheel
