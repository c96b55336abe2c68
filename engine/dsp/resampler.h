#pragma once
// Resampler: band-limited sample-rate conversion of one channel, for any pair of rates in
// kMinBufferRate..kMaxBufferRate (buffer_limits.h). It converts whole buffers off the audio
// thread (loads, a host's change of the working rate); the audio thread never resamples.
//
// A buffer loops: its converted frames are computed as if the input repeated, so the loop
// point stays as smooth as the rest (the caller sets the guard frame afterwards).

#include <cstdint>
#include <memory>

namespace grainwheel {

class Resampler {
public:
    // The tables for converting inRate to outRate; usable() is false when a rate is outside
    // kMinBufferRate..kMaxBufferRate or memory is short.
    Resampler(double inRate, double outRate);
    ~Resampler();
    Resampler(const Resampler&) = delete;
    Resampler& operator=(const Resampler&) = delete;

    bool usable() const;
    // The frames `inFrames` input frames become: round(inFrames * outRate / inRate), at
    // least 1 for inFrames >= 1; 0 for inFrames <= 0.
    std::int64_t outputFrames(std::int64_t inFrames) const;
    // Converts in[0 .. inFrames) into out[0 .. outputFrames(inFrames)), the input taken as
    // looping (frame inFrames is frame 0 again).
    void convertLooped(const float* in, std::int64_t inFrames, float* out) const;

private:
    struct Tables;
    std::unique_ptr<Tables> tables_;
    double inRate_;
    double outRate_;
};

}  // namespace grainwheel
