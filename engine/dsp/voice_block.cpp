#include "engine/dsp/voice_block.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <type_traits>

#include "engine/dsp/soft_clip.h"
#include "engine/dsp/sse2.h"
#include "engine/dsp/vector_code.h"

// Built with floating-point contraction off: every product and sum here is rounded on
// its own, as in the per-sample code these kernels replace.

namespace grainwheel {

namespace {

constexpr int kChunk = 256;                 // samples of envelope values computed at once
constexpr float kExactFrames = 16777216.0f;  // 2^24: every whole frame below is exact

const BufferView* viewOf(const GrainVoice& v, const BufferView* buffers, int bufferCount) {
    return (v.buffer >= 0 && v.buffer < bufferCount) ? &buffers[v.buffer] : nullptr;
}

// `count` envelope values of a voice into e, advancing its segment counters: the
// envelope step of the per-sample renderer, in the same order.
template <int Env>
void envelopeRun(GrainVoice& v, float* e, int count) {
    walkEnvelope<Env>(v, count, [&](float value) { *e++ = value; });
}

// Whether the envelope is 1 on each of the next m samples (rectangular, or a sustain
// that lasts them); it is then advanced over them. A product by 1 changes no value:
// flat stretches add the frames themselves (only a NaN's payload could differ, and the
// filters turn any NaN sum into silence).
template <int Env>
bool flatEnvelope(GrainVoice& v, int m) {
    if constexpr (Env == kEnvRectangular) {
        (void)v, (void)m;
        return true;
    } else {
        if (v.attack >= 1 || v.sustain < m) return false;
        v.sustain -= m;
        v.linearLevel = 1.0f;
        return true;
    }
}

// The output policies of the kernel: where sample n of a voice goes.
// kOneSample: the one sample of a sounding voice (the caller's loop asks only for those),
// the reader working on the voice's own fields rather than on copies in locals.
struct AddInto {  // added into the sums of a stretch
    static constexpr bool kOneSample = false;
    float* __restrict left;
    float* __restrict right;
    void operator()(int n, float l, float r) const {
        left[n] += l;
        right[n] += r;
    }
    AddInto from(int n) const { return {left + n, right + n}; }
};
struct StoreOne {  // the one sample handed back
    static constexpr bool kOneSample = true;
    mutable StereoSample sample{};
    void operator()(int, float l, float r) const { sample = {l, r}; }
    const StoreOne& from(int) const { return *this; }
};

// The precomputed grain of a morph voice: no buffer read.
template <typename Out>
GW_INLINE int precomputedRun(GrainVoice& v, const Out& out, int frames) {
    int n = 0;
    for (; n < frames && (Out::kOneSample || v.remaining > 0); ++n) {
        float value = 0.0f;
        if (v.precomputedIndex >= 0 && v.precomputedIndex < kTransformSize)
            value = v.precomputedGrain[static_cast<std::size_t>(v.precomputedIndex)];
        v.precomputedIndex += 1;
        v.remaining -= 1;
        out(n, value, value);
    }
    return n;
}

// One read of a buffer at frame idx and fraction frac: the frame at idx is fetched when
// the index moved past the one fetched last (which becomes the previous frame), then the
// value at frac between the previous and the current frame (the previous one on a whole
// frame). True when it fetched.
GW_INLINE bool readFrame(const float* __restrict bufLeft, const float* __restrict bufRight, int idx, float frac,
                         int& last, float& prevL, float& prevR, float& curL, float& curR, float& outL, float& outR) {
    const bool fetched = idx > last;
    if (fetched) {
        prevL = curL;
        prevR = curR;
        curL = bufLeft[idx];
        curR = bufRight[idx];
    }
    last = idx;
    if (frac == 0.0f) {
        outL = prevL;
        outR = prevR;
    } else {
        outL = prevL + (curL - prevL) * frac;
        outR = prevR + (curR - prevR) * frac;
    }
    return fetched;
}

// A running value of a voice: a copy in a local, or (InPlace) the voice's field itself.
template <bool InPlace, typename T>
using Running = std::conditional_t<InPlace, T&, T>;

// The any-step reader: a buffer-reading voice on a non-empty buffer, sample by sample,
// any read step, a position outside the buffer (it may have been replaced by a shorter
// one) folded back in rather than read out of bounds; the voice's running values in
// locals (or its fields, Out::kOneSample). Every sample may take it: the other readers
// give its values.
template <int Env, typename Out>
GW_INLINE int anyStepRun(GrainVoice& v, const BufferView& buffer, float pitch, const Out& out, int frames) {
    constexpr bool kInPlace = Out::kOneSample;
    const float* __restrict bufLeft = buffer.left;
    const float* __restrict bufRight = buffer.right;
    const int length = buffer.length;
    const float flen = static_cast<float>(length);
    Running<kInPlace, float> pos = v.readPosition;
    Running<kInPlace, int> last = v.lastIndex;
    Running<kInPlace, int> remaining = v.remaining;
    Running<kInPlace, float> prevL = v.previous[0];
    Running<kInPlace, float> prevR = v.previous[1];
    Running<kInPlace, float> curL = v.current[0];
    Running<kInPlace, float> curR = v.current[1];
    Running<kInPlace, int> attack = v.attack;
    Running<kInPlace, int> sustain = v.sustain;
    Running<kInPlace, int> release = v.release;
    Running<kInPlace, float> level = v.linearLevel;
    const float step = v.linearStep;
    Running<kInPlace, double> osc = v.oscOutput;
    Running<kInPlace, CosineOscillator> oscillator = v.osc;
    const auto oscillate = [&]() {
        osc = oscillator.next();
        return CosineOscillator::raised(osc);
    };
    int n = 0;
    for (; n < frames && (kInPlace || remaining > 0); ++n) {
        if (PlayHead::fold(pos, flen)) last = std::min(last, static_cast<int>(pos));
        const int idx = static_cast<int>(pos);
        const float frac = pos - static_cast<float>(idx);
        float e;
        if constexpr (Env == kEnvRectangular) {
            e = 1.0f;
        } else if (attack >= 1) {
            attack -= 1;
            if constexpr (Env == kEnvTrapezoid) {
                level += step;
                e = level;
            } else {
                e = oscillate();
            }
        } else if (sustain > 0) {
            sustain -= 1;
            level = 1.0f;
            e = 1.0f;
        } else if (release > 0) {
            release -= 1;
            if constexpr (Env == kEnvTrapezoid) {
                level -= step;
                e = level;
            } else {
                e = oscillate();
            }
        } else {
            e = 0.0f;
        }
        remaining -= 1;
        float outL;
        float outR;
        readFrame(bufLeft, bufRight, idx, frac, last, prevL, prevR, curL, curR, outL, outR);
        outL = e * outL;
        outR = e * outR;
        pos += pitch;
        PlayHead::wrap(pos, last, length, flen);
        out(n, outL, outR);
    }
    if constexpr (!kInPlace) {
        v.readPosition = pos;
        v.lastIndex = last;
        v.remaining = remaining;
        v.previous[0] = prevL, v.previous[1] = prevR;
        v.current[0] = curL, v.current[1] = curR;
        v.attack = attack, v.sustain = sustain, v.release = release;
        v.linearLevel = level;
        v.oscOutput = osc;
        v.osc = oscillator;
    }
    return n;
}

template <int Env>
int unitStepRun(GrainVoice& v, const BufferView& buffer, float* __restrict sumLeft, float* __restrict sumRight,
                int frames) {
    const float* __restrict bufLeft = buffer.left;
    const float* __restrict bufRight = buffer.right;
    const int length = buffer.length;
    alignas(16) float e[kChunk];
    int n = 0;
    while (n < frames && v.remaining > 0) {
        const int first = static_cast<int>(v.readPosition);
        // Up to the last frame of the buffer: the step after it wraps the head to 0.
        const int m = std::min({frames - n, v.remaining, length - first, kChunk});
        float* __restrict l = sumLeft + n;
        float* __restrict r = sumRight + n;
        // Sample 0 plays the frame fetched before the stretch, sample k frame first + k - 1.
        const float* __restrict fromLeft = bufLeft + first - 1;
        const float* __restrict fromRight = bufRight + first - 1;
        if (flatEnvelope<Env>(v, m)) {
            l[0] += v.current[0];
            r[0] += v.current[1];
            for (int k = 1; k < m; ++k) {
                l[k] += fromLeft[k];
                r[k] += fromRight[k];
            }
        } else {
            envelopeRun<Env>(v, e, m);
            l[0] += e[0] * v.current[0];
            r[0] += e[0] * v.current[1];
            for (int k = 1; k < m; ++k) {
                l[k] += e[k] * fromLeft[k];
                r[k] += e[k] * fromRight[k];
            }
        }
        const int end = first + m - 1;  // the frame fetched last
        if (m >= 2) {
            v.previous[0] = bufLeft[end - 1];
            v.previous[1] = bufRight[end - 1];
        } else {
            v.previous[0] = v.current[0];
            v.previous[1] = v.current[1];
        }
        v.current[0] = bufLeft[end];
        v.current[1] = bufRight[end];
        v.lastIndex = end;
        v.readPosition = static_cast<float>(end + 1);
        if (end + 1 >= length) {
            v.readPosition -= static_cast<float>(length);
            v.lastIndex -= length;
        }
        v.remaining -= m;
        n += m;
    }
    return n;
}

inline bool sameBits(float a, float b) { return std::bit_cast<std::uint32_t>(a) == std::bit_cast<std::uint32_t>(b); }

// Below this length every read position is a multiple of half a frame or finer, so a
// step below 1 moves the index by at most one frame.
constexpr float kVectorFrames = 8388608.0f;  // 2^23

// steadyRun's samples over one chunk; Flat: an envelope of 1 throughout (no product).
//
// In a buffer shorter than 2^23 frames the reader runs as vectors wherever it can. The
// positions are still summed one by one as before; what depends on them then does not
// depend on the samples before:
//  - below pitch 1 the index moves by 0 or 1 frame a sample, so once the frames held are
//    the buffer's frames at the index and the one before it, they stay so: each sample
//    reads frames idx and idx - 1;
//  - at pitch 1 and above every sample fetches a new frame, so once the frame held current
//    is the buffer's at the last index, each sample reads its own frame and the one the
//    sample before it read.
// Until the frames held match (a grain's start, a wrap), samples run one by one.
template <bool Flat>
struct SteadyChunk {
    float pos;
    int last;
    float prevL, prevR, curL, curR;

    // One sample (renderVoiceBlock's step without the fold); true when it fetched a frame.
    bool step(const float* __restrict bufLeft, const float* __restrict bufRight, int length, float flen, float pitch,
              float env, float& l, float& r) {
        const int idx = static_cast<int>(pos);
        const float frac = pos - static_cast<float>(idx);
        float outL;
        float outR;
        const bool fetched = readFrame(bufLeft, bufRight, idx, frac, last, prevL, prevR, curL, curR, outL, outR);
        if constexpr (!Flat) {
            outL = env * outL;
            outR = env * outR;
        }
        pos += pitch;
        PlayHead::wrap(pos, last, length, flen);
        l += outL;
        r += outR;
        return fetched;
    }

    void run(const float* __restrict bufLeft, const float* __restrict bufRight, int length, float flen, float pitch,
             const float* __restrict e, float* __restrict l, float* __restrict r, int m) {
        int k = 0;
#if GW_SSE2
        if (flen <= kVectorFrames) {
            if (pitch < 1.0f)
                runVectors<false>(bufLeft, bufRight, length, flen, pitch, e, l, r, m);
            else
                runVectors<true>(bufLeft, bufRight, length, flen, pitch, e, l, r, m);
            return;
        }
#endif
        for (; k < m; ++k) step(bufLeft, bufRight, length, flen, pitch, Flat ? 1.0f : e[k], l[k], r[k]);
    }

#if GW_SSE2
    // Above: pitch 1 or more.
    template <bool Above>
    void runVectors(const float* __restrict bufLeft, const float* __restrict bufRight, int length, float flen,
                    float pitch, const float* __restrict e, float* __restrict l, float* __restrict r, int m) {
        int k = 0;
        while (k < m) {
            if (framesAtHead<Above>(bufLeft, bufRight)) {
                k = vectorRun<Above>(bufLeft, bufRight, length, flen, pitch, e, l, r, k, m);
                continue;
            }
            bool fetched = false;
            while (k < m && !fetched) {
                fetched = step(bufLeft, bufRight, length, flen, pitch, Flat ? 1.0f : e[k], l[k], r[k]);
                ++k;
            }
        }
    }

    // Whether the next sample may run as a vector (bit for bit equal frames):
    //  - below pitch 1: the frames held are the buffer's at the index of the position and
    //    the one before it, or the next sample fetches the frame after the one held current;
    //  - above: the next sample fetches, and the frame held current is the buffer's at the
    //    last index.
    template <bool Above>
    bool framesAtHead(const float* bufLeft, const float* bufRight) const {
        const int i = static_cast<int>(pos);
        if constexpr (Above) {
            return i > last && last >= 0 && sameBits(curL, bufLeft[last]) && sameBits(curR, bufRight[last]);
        } else {
            if (i < 1) return false;
            if (i == last)
                return sameBits(curL, bufLeft[i]) && sameBits(curR, bufRight[i]) && sameBits(prevL, bufLeft[i - 1]) &&
                       sameBits(prevR, bufRight[i - 1]);
            return i - 1 == last && sameBits(curL, bufLeft[last]) && sameBits(curR, bufRight[last]);
        }
    }

    static __m128 select(__m128 mask, __m128 a, __m128 b) {
        return _mm_or_ps(_mm_and_ps(mask, a), _mm_andnot_ps(mask, b));
    }

    // Samples k .. up to the chunk's end, or up to the one whose step leaves the buffer
    // (wrapped as before); returns the sample after the last one done.
    template <bool Above>
    int vectorRun(const float* __restrict bufLeft, const float* __restrict bufRight, int length, float flen,
                  float pitch, const float* __restrict e, float* __restrict l, float* __restrict r, int k, int m) {
        alignas(16) float at[kChunk];
        float p = pos;
        int end = m;
        for (int t = k; t < m; ++t) {
            at[t] = p;
            p += pitch;
            if (p >= flen) {
                end = t + 1;
                break;
            }
        }
        // Above: the frames the sample before read (the one held current at first).
        float carryL = curL, carryR = curR;
        float beforeL = prevL, beforeR = prevR;
        int t = k;
        for (; t + 4 <= end; t += 4) {
            const __m128 position = _mm_loadu_ps(at + t);
            const __m128i index = _mm_cvttps_epi32(position);
            const __m128 frac = _mm_sub_ps(position, _mm_cvtepi32_ps(index));
            alignas(16) std::int32_t i[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(i), index);
            const __m128 cL = _mm_setr_ps(bufLeft[i[0]], bufLeft[i[1]], bufLeft[i[2]], bufLeft[i[3]]);
            const __m128 cR = _mm_setr_ps(bufRight[i[0]], bufRight[i[1]], bufRight[i[2]], bufRight[i[3]]);
            __m128 pL;
            __m128 pR;
            if constexpr (Above) {
                // [carry, c0, c1, c2]
                pL = _mm_move_ss(_mm_shuffle_ps(cL, cL, _MM_SHUFFLE(2, 1, 0, 0)), _mm_set_ss(carryL));
                pR = _mm_move_ss(_mm_shuffle_ps(cR, cR, _MM_SHUFFLE(2, 1, 0, 0)), _mm_set_ss(carryR));
                beforeL = laneOf<2>(cL), beforeR = laneOf<2>(cR);
                carryL = laneOf<3>(cL), carryR = laneOf<3>(cR);
            } else {
                pL = _mm_setr_ps(bufLeft[i[0] - 1], bufLeft[i[1] - 1], bufLeft[i[2] - 1], bufLeft[i[3] - 1]);
                pR = _mm_setr_ps(bufRight[i[0] - 1], bufRight[i[1] - 1], bufRight[i[2] - 1], bufRight[i[3] - 1]);
            }
            const __m128 whole = _mm_cmpeq_ps(frac, _mm_setzero_ps());
            __m128 outL = select(whole, pL, _mm_add_ps(pL, _mm_mul_ps(_mm_sub_ps(cL, pL), frac)));
            __m128 outR = select(whole, pR, _mm_add_ps(pR, _mm_mul_ps(_mm_sub_ps(cR, pR), frac)));
            if constexpr (!Flat) {
                const __m128 env = _mm_loadu_ps(e + t);
                outL = _mm_mul_ps(env, outL);
                outR = _mm_mul_ps(env, outR);
            }
            _mm_storeu_ps(l + t, _mm_add_ps(_mm_loadu_ps(l + t), outL));
            _mm_storeu_ps(r + t, _mm_add_ps(_mm_loadu_ps(r + t), outR));
        }
        for (; t < end; ++t) {
            const int idx = static_cast<int>(at[t]);
            const float frac = at[t] - static_cast<float>(idx);
            const float cL = bufLeft[idx], cR = bufRight[idx];
            float pL;
            float pR;
            if constexpr (Above) {
                pL = carryL, pR = carryR;
                beforeL = carryL, beforeR = carryR;
                carryL = cL, carryR = cR;
            } else {
                pL = bufLeft[idx - 1], pR = bufRight[idx - 1];
            }
            float outL = frac == 0.0f ? pL : pL + (cL - pL) * frac;
            float outR = frac == 0.0f ? pR : pR + (cR - pR) * frac;
            if constexpr (!Flat) {
                outL = e[t] * outL;
                outR = e[t] * outR;
            }
            l[t] += outL;
            r[t] += outR;
        }
        last = static_cast<int>(at[end - 1]);
        curL = bufLeft[last];
        curR = bufRight[last];
        if constexpr (Above) {
            prevL = beforeL, prevR = beforeR;
        } else {
            prevL = bufLeft[last - 1];
            prevR = bufRight[last - 1];
        }
        pos = p;
        PlayHead::wrap(pos, last, length, flen);
        return end;
    }
#endif
};

// Any read step on a position inside the buffer: the step is not negative and finite,
// so the position stays inside (the fold of an outside position never applies) and
// the envelope, which does not depend on it, is computed for a chunk at a time.
template <int Env>
int steadyRun(GrainVoice& v, const BufferView& buffer, float pitch, float* __restrict sumLeft,
              float* __restrict sumRight, int frames) {
    const int length = buffer.length;
    const float flen = static_cast<float>(length);
    alignas(16) float e[kChunk];
    int n = 0;
    while (n < frames && v.remaining > 0) {
        const int m = std::min({frames - n, v.remaining, kChunk});
        const bool flat = flatEnvelope<Env>(v, m);
        if (!flat) envelopeRun<Env>(v, e, m);
        if (flat) {
            SteadyChunk<true> c{v.readPosition, v.lastIndex, v.previous[0], v.previous[1], v.current[0], v.current[1]};
            c.run(buffer.left, buffer.right, length, flen, pitch, e, sumLeft + n, sumRight + n, m);
            v.readPosition = c.pos, v.lastIndex = c.last;
            v.previous[0] = c.prevL, v.previous[1] = c.prevR, v.current[0] = c.curL, v.current[1] = c.curR;
        } else {
            SteadyChunk<false> c{v.readPosition, v.lastIndex, v.previous[0], v.previous[1], v.current[0], v.current[1]};
            c.run(buffer.left, buffer.right, length, flen, pitch, e, sumLeft + n, sumRight + n, m);
            v.readPosition = c.pos, v.lastIndex = c.last;
            v.previous[0] = c.prevL, v.previous[1] = c.prevR, v.current[0] = c.curL, v.current[1] = c.curR;
        }
        v.remaining -= m;
        n += m;
    }
    return n;
}

// The read-step-1 reader's condition: a buffer-reading voice on a whole frame inside
// the buffer (all whole frames of it exact), fetched up to the one before.
bool unitStepApplies(const GrainVoice& v, const BufferView& buffer, int frames) {
    if (v.renderMode != kRenderBuffer || v.idle() || buffer.empty() || frames <= 0) return false;
    const float flen = static_cast<float>(buffer.length);
    const float pos = v.readPosition;
    if (!(pos >= 0.0f && pos < flen) || flen > kExactFrames) return false;
    const int idx = static_cast<int>(pos);
    return static_cast<float>(idx) == pos && v.lastIndex == idx - 1;
}

// The steady reader's: a read step not negative and below the buffer length from a
// position inside the buffer (the any-step reader's fold of an outside position cannot
// apply).
bool steadyApplies(const GrainVoice& v, const BufferView& buffer, float pitch, int frames) {
    if (v.renderMode != kRenderBuffer || v.idle() || buffer.empty() || frames <= 0) return false;
    const float flen = static_cast<float>(buffer.length);
    return v.readPosition >= 0.0f && v.readPosition < flen && pitch >= 0.0f && pitch < flen;
}

// The readers a kernel may run (a policy, bits of Readers).
enum Readers : unsigned {
    kUnitStepReader = 1,  // read step 1 on whole frames (unitStepRun)
    kSteadyReader = 2,    // any read step inside the buffer, a chunk at a time (steadyRun)
    kAnyStepReader = 4,   // sample by sample, the precomputed grain included (anyStepRun)
};

// The one voice kernel: the readers of the policy `Use`, for the envelope Env, into the
// output policy Out. Each reader runs for as long as it applies, then the next takes
// over: the read-step-1 reader (at pitch 1), the steady reader, the any-step reader.
// Each gives the values the any-step reader gives sample by sample, so any policy
// renders the same bits. The first two write into sums only (AddInto). Returns the
// samples done: all `frames` unless the grain ended (or, without the any-step reader,
// the readers stopped applying); all `frames` for a buffer voice on an empty buffer,
// which stays silent.
template <unsigned Use, int Env, typename Out>
GW_INLINE int voiceKernel(GrainVoice& v, const BufferView& buffer, float pitch, const Out& out, int frames) {
    int done = 0;
    if constexpr ((Use & kUnitStepReader) != 0) {
        if (pitch == 1.0f && unitStepApplies(v, buffer, frames))
            done = unitStepRun<Env>(v, buffer, out.left, out.right, frames);
    }
    if constexpr ((Use & kSteadyReader) != 0) {
        if (done < frames && steadyApplies(v, buffer, pitch, frames - done))
            done += steadyRun<Env>(v, buffer, pitch, out.left + done, out.right + done, frames - done);
    }
    if constexpr ((Use & kAnyStepReader) != 0) {
        // After another reader the voice may have ended: nothing more of it.
        if (done < frames && (Use == kAnyStepReader || !v.idle())) {
            if (v.renderMode == kRenderPrecomputed) return done + precomputedRun(v, out.from(done), frames - done);
            if (buffer.empty()) return frames;
            done += anyStepRun<Env>(v, buffer, pitch, out.from(done), frames - done);
        }
    }
    return done;
}

// The kernel for a run-time envelope type.
template <unsigned Use, typename Out>
int renderVoice(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType, const Out& out, int frames) {
    return withEnvelope(envelopeType, [&](auto env) {
        return voiceKernel<Use, decltype(env)::value>(v, buffer, pitch, out, frames);
    });
}

}  // namespace

StereoSample renderVoiceSample(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType) {
    const StoreOne out;
    renderVoice<kAnyStepReader>(v, buffer, pitch, envelopeType, out, 1);
    return out.sample;
}

int renderVoiceBlock(GrainVoice& v, const BufferView& buffer, float pitch, int envelopeType, float* sumLeft,
                     float* sumRight, int frames) {
    return renderVoice<kAnyStepReader>(v, buffer, pitch, envelopeType, AddInto{sumLeft, sumRight}, frames);
}

int renderUnitStep(GrainVoice& v, const BufferView& buffer, int envelopeType, float* sumLeft, float* sumRight,
                   int frames) {
    return renderVoice<kUnitStepReader>(v, buffer, 1.0f, envelopeType, AddInto{sumLeft, sumRight}, frames);
}

unsigned renderVoiceStretch(GrainVoice* voices, int count, const BufferView* buffers, int bufferCount,
                            float pitch, int envelopeType, float* sumLeft, float* sumRight, int frames) {
    return withEnvelope(envelopeType, [&](auto env) {
        constexpr int kEnv = decltype(env)::value;
        constexpr unsigned kAll = kUnitStepReader | kSteadyReader | kAnyStepReader;
        unsigned ended = 0;
        for (int s = 0; s < count; ++s) {
            GrainVoice& voice = voices[s];
            if (voice.idle()) continue;
            const BufferView* found = viewOf(voice, buffers, bufferCount);
            voiceKernel<kAll, kEnv>(voice, found ? *found : BufferView{}, pitch, AddInto{sumLeft, sumRight}, frames);
            if (voice.idle()) ended |= 1u << s;
        }
        return ended;
    });
}

void advanceHeadRun(HeadRun& head, int count) {
    const float length = static_cast<float>(head.length);
    float position = head.position;
    for (int k = 0; k < count; ++k) {
        const float moved = position + head.step;
        position = moved;
        if (head.length != 0 && moved >= length) position = head.restarts ? head.restartPosition : moved - length;
        if (position < 0.0f) position = head.restarts ? head.restartPosition : position + length;
    }
    head.position = position;
}

float outputRun(const float* left, const float* right, int count, float gain, float peak, float* outLeft,
                float* outRight, float* total) {
    int k = 0;
    float written = 0.0f;
#if GW_SSE2
    // The meter as four running maxima, one per lane, merged at the end: a maximum of
    // the same values in any order (a NaN never replaces one, a value replaces only a
    // smaller one, as std::max(peak, x) does).
    const __m128 g = _mm_set1_ps(gain);
    __m128 lanes = _mm_set1_ps(peak);
    __m128 sums = _mm_setzero_ps();
    for (; k + 4 <= count; k += 4) {
        const __m128 xl = _mm_mul_ps(_mm_loadu_ps(left + k), g);
        const __m128 xr = _mm_mul_ps(_mm_loadu_ps(right + k), g);
        const __m128 al = SoftClip::magnitude(xl);
        const __m128 ar = SoftClip::magnitude(xr);
        // std::max(peak, std::max(al, ar)): max_ps(x, m) is (m < x) ? x : m.
        lanes = _mm_max_ps(_mm_max_ps(ar, al), lanes);
        if (outLeft) {
            const __m128 cl = SoftClip::apply(xl, al);
            _mm_storeu_ps(outLeft + k, cl);
            sums = _mm_add_ps(sums, cl);
        }
        if (outRight) {
            const __m128 cr = SoftClip::apply(xr, ar);
            _mm_storeu_ps(outRight + k, cr);
            sums = _mm_add_ps(sums, cr);
        }
    }
    alignas(16) float m[4];
    _mm_store_ps(m, lanes);
    for (const float x : m) peak = std::max(peak, x);
    _mm_store_ps(m, sums);
    written = (m[0] + m[1]) + (m[2] + m[3]);
#endif
    for (; k < count; ++k) {
        const float xl = left[k] * gain;
        const float xr = right[k] * gain;
        peak = std::max(peak, std::max(SoftClip::magnitude(xl), SoftClip::magnitude(xr)));
        if (outLeft) written += outLeft[k] = SoftClip::apply(xl);
        if (outRight) written += outRight[k] = SoftClip::apply(xr);
    }
    if (total) *total += written;
    return peak;
}

}  // namespace grainwheel
