#pragma once
// Marks the functions that run on the host's audio thread. Under RealtimeSanitizer
// (GW_RTSAN) they are real-time contexts: any allocation, lock or system call inside
// them, or in anything they call, is reported. Other compilers see nothing.

#if defined(GW_RTSAN) && defined(__clang__)
#define GW_NONBLOCKING [[clang::nonblocking]]
// The host time query is the one permitted call into code that is not marked.
#define GW_BLOCKING_ALLOWED_BEGIN \
    _Pragma("clang diagnostic push") _Pragma("clang diagnostic ignored \"-Wfunction-effects\"")
#define GW_BLOCKING_ALLOWED_END _Pragma("clang diagnostic pop")
#else
#define GW_NONBLOCKING
#define GW_BLOCKING_ALLOWED_BEGIN
#define GW_BLOCKING_ALLOWED_END
#endif
