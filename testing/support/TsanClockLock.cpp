// Linked into the test programs of a ThreadSanitizer build only.
//
// libstdc++ takes a std::timed_mutex with try_lock_for/try_lock_until on the
// steady clock through pthread_mutex_clocklock, which the ThreadSanitizer
// runtime of GCC 12 does not intercept. It then never sees such a lock
// taken, reports the matching unlock as "unlock of an unlocked mutex" and
// loses the ordering the mutex gives (so it would also report the data the
// mutex guards as raced). This definition tells it about the lock and then
// takes it with the C library's own function, exactly as its interceptor
// of pthread_mutex_timedlock does.

#include <dlfcn.h>
#include <pthread.h>
#include <sanitizer/tsan_interface.h>
#include <time.h>

#include <cstdio>
#include <cstdlib>

extern "C" int pthread_mutex_clocklock(pthread_mutex_t* mutex, clockid_t clock,
                                       const struct timespec* abstime) noexcept {
    using Real = int (*)(pthread_mutex_t*, clockid_t, const struct timespec*);
    static const Real real = [] {
        auto fn = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "pthread_mutex_clocklock"));
        if (!fn) {
            std::fputs("pthread_mutex_clocklock: not found in the C library\n", stderr);
            std::abort();
        }
        return fn;
    }();
    __tsan_mutex_pre_lock(mutex, __tsan_mutex_try_lock);
    const int rc = real(mutex, clock, abstime);
    __tsan_mutex_post_lock(
        mutex,
        rc == 0 ? __tsan_mutex_try_lock : __tsan_mutex_try_lock | __tsan_mutex_try_lock_failed, 0);
    return rc;
}
