// A first resampler: linear interpolation over the looped input. To be replaced by the
// band-limited polyphase converter (same interface, resampler.h).

#include "engine/dsp/resampler.h"

#include <cmath>

namespace grainwheel {

struct Resampler::Tables {};

namespace {
bool inRange(double rate) { return rate >= 8000.0 && rate <= 384000.0; }
}  // namespace

Resampler::Resampler(double inRate, double outRate) : inRate_(inRate), outRate_(outRate) {
    if (inRange(inRate) && inRange(outRate)) tables_ = std::make_unique<Tables>();
}

Resampler::~Resampler() = default;

bool Resampler::usable() const { return tables_ != nullptr; }

std::int64_t Resampler::outputFrames(std::int64_t inFrames) const {
    if (inFrames <= 0 || !usable()) return 0;
    const auto n = static_cast<std::int64_t>(std::llround(static_cast<double>(inFrames) * outRate_ / inRate_));
    return n < 1 ? 1 : n;
}

void Resampler::convertLooped(const float* in, std::int64_t inFrames, float* out) const {
    const std::int64_t frames = outputFrames(inFrames);
    const double step = inRate_ / outRate_;
    for (std::int64_t i = 0; i < frames; ++i) {
        const double at = static_cast<double>(i) * step;
        const auto k = static_cast<std::int64_t>(at);
        const double f = at - static_cast<double>(k);
        const float a = in[k % inFrames], b = in[(k + 1) % inFrames];
        out[i] = static_cast<float>(a + (b - a) * f);
    }
}

}  // namespace grainwheel
