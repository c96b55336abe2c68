// The host's transport between two time:Position objects (lv2_transport.h).

#include "plugin/lv2/lv2_transport.h"

#include <cmath>

namespace grainwheel::lv2 {

namespace {
bool usable(double v) { return std::isfinite(v) && v > 0.0 && v < 1.0e6; }
}  // namespace

void HostPosition::take(const PositionUpdate& u) noexcept {
    double quarters = quartersNow();  // before the metre or tempo may change
    if ((u.has & PositionUpdate::kBeatUnit) && usable(u.beatUnit)) beatUnit_ = u.beatUnit;
    if ((u.has & PositionUpdate::kBeatsPerBar) && usable(u.beatsPerBar)) beatsPerBar_ = u.beatsPerBar;
    if ((u.has & PositionUpdate::kTempo) && usable(u.tempo)) {
        tempo_ = u.tempo;
        known_ = true;
    }
    if ((u.has & PositionUpdate::kSpeed) && std::isfinite(u.speed)) speed_ = u.speed;
    const double toQuarters = 4.0 / beatUnit_;
    if ((u.has & PositionUpdate::kBeat) && std::isfinite(u.beat)) {
        quarters = u.beat * toQuarters;
    } else if ((u.has & PositionUpdate::kBar) && std::isfinite(u.bar)) {
        const double barBeat = (u.has & PositionUpdate::kBarBeat) && std::isfinite(u.barBeat) ? u.barBeat : 0.0;
        quarters = (u.bar * beatsPerBar_ + barBeat) * toQuarters;
    }
    anchorQuarters_ = quarters;
    since_ = 0;
}

void HostPosition::advance(std::int64_t frames) noexcept {
    if (speed_ != 0.0) since_ += frames;
}

double HostPosition::quartersNow() const noexcept {
    if (since_ == 0 || !known_ || !(rate_ > 0.0)) return anchorQuarters_;
    double run = static_cast<double>(since_) / rate_ * tempo_ / 60.0;
    if (speed_ != 1.0) run *= speed_;
    if (beatUnit_ != 4.0) run *= 4.0 / beatUnit_;
    return anchorQuarters_ + run;
}

bool HostPosition::answer(EngineTransport& out) const noexcept {
    if (!known_) return false;
    out.ppqPosition = quartersNow();
    const double quartersPerBar = beatsPerBar_ * 4.0 / beatUnit_;
    out.barStart = std::floor(out.ppqPosition / quartersPerBar) * quartersPerBar;
    out.tempo = tempo_;
    out.timeSigNumerator = static_cast<std::int32_t>(beatsPerBar_);
    out.timeSigDenominator = static_cast<std::int32_t>(beatUnit_);
    out.flags = EngineTransport::kPpqValid | EngineTransport::kTempoValid | EngineTransport::kBarsValid |
                EngineTransport::kTimeSigValid;
    if (speed_ != 0.0) out.flags |= EngineTransport::kPlaying;
    return true;
}

}  // namespace grainwheel::lv2
