#pragma once
// Whether the tests run under the thread sanitizer (make test TSAN=1), which slows every thread several times
// over. Eventually gives a condition ten times its limit there. A check that holds only while a pass keeps
// pace with its local server (transfers overlapping as far as the limits allow) cannot be made there; the
// test runs its pass under the sanitizer all the same, for its races, and then reports itself skipped with
// kPaceSkipReason instead of making that check.

namespace qw::test {

#if defined(__SANITIZE_THREAD__)
inline constexpr bool kThreadSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
inline constexpr bool kThreadSanitizer = true;
#else
inline constexpr bool kThreadSanitizer = false;
#endif
#else
inline constexpr bool kThreadSanitizer = false;
#endif

inline constexpr char kPaceSkipReason[] =
    "under the thread sanitizer the pass cannot keep pace with the transfers, so how far they overlap is not "
    "checked";

}  // namespace qw::test
