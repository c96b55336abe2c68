#pragma once
// Attributes of the engine's vectorised loops (the transform, the resampler, the morph).
//  - GW_RESTRICT: a pointer whose data no other pointer of the loop reaches.
//  - GW_INLINE: always inlined into its (cloned) caller.
//  - GW_CLONES: on x86-64 Linux the function is compiled twice, for the baseline and for
//    the AVX2 + FMA level, and the loader picks the variant the processor supports. The
//    engine fuses no multiply-add (-ffp-contract=off), so both give the same bits.
//    GW_NO_CLONES builds the baseline only (ThreadSanitizer, and the tests of that path).
//  - GW_WIDE_TARGET, wideLanesSupported(): where the clones exist, a function written for
//    8-float vectors is compiled for that same level (GW_WIDE_TARGET) and called
//    where wideLanesSupported() is true, i.e. where the loader picks the AVX2 clones.

#if defined(__GNUC__)
#define GW_RESTRICT __restrict__
#define GW_INLINE inline __attribute__((always_inline))
#else
#define GW_RESTRICT
#define GW_INLINE inline
#endif

#if defined(__has_feature) && !defined(GW_NO_CLONES)
#if __has_feature(thread_sanitizer)
#define GW_NO_CLONES 1
#endif
#endif
#if defined(__SANITIZE_THREAD__) && !defined(GW_NO_CLONES)
#define GW_NO_CLONES 1
#endif
#if defined(__GNUC__) && defined(__x86_64__) && defined(__linux__) && !defined(GW_NO_CLONES)
#define GW_CLONES __attribute__((target_clones("arch=x86-64-v3", "default")))
#define GW_WIDE_TARGET __attribute__((target("arch=x86-64-v3")))
namespace grainwheel {
inline bool wideLanesSupported() {
#if defined(__clang__)
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
#else
    return __builtin_cpu_supports("x86-64-v3");
#endif
}
}  // namespace grainwheel
#else
#define GW_CLONES
#endif
