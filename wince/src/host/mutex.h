// The layer's mutex and its lock holders, annotated so that clang's -Wthread-safety checks the
// locking rules that the headers state (GUARDED_BY on guarded state, REQUIRES on the ...Locked
// methods). Other compilers see plain std::mutex wrappers.
//
// Several components guard their state with one mutex they share (the scheduler's) and each names
// it by its own reference member. The analysis cannot see that two such names are one mutex, so
// code that holds it under one name and calls a component that requires it under another states
// the fact with AssertHeld() on the component's name.
#ifndef WINCE_HOST_MUTEX_H_
#define WINCE_HOST_MUTEX_H_

#include <condition_variable>
#include <mutex>

#if defined(__clang__)
#define WCE_THREAD_ANNOTATION(x) __attribute__((x))
#else
#define WCE_THREAD_ANNOTATION(x)
#endif

#define WCE_CAPABILITY(x) WCE_THREAD_ANNOTATION(capability(x))
#define WCE_SCOPED_CAPABILITY WCE_THREAD_ANNOTATION(scoped_lockable)
#define WCE_GUARDED_BY(x) WCE_THREAD_ANNOTATION(guarded_by(x))
#define WCE_PT_GUARDED_BY(x) WCE_THREAD_ANNOTATION(pt_guarded_by(x))
#define WCE_REQUIRES(...) WCE_THREAD_ANNOTATION(requires_capability(__VA_ARGS__))
#define WCE_EXCLUDES(...) WCE_THREAD_ANNOTATION(locks_excluded(__VA_ARGS__))
#define WCE_ACQUIRE(...) WCE_THREAD_ANNOTATION(acquire_capability(__VA_ARGS__))
#define WCE_RELEASE(...) WCE_THREAD_ANNOTATION(release_capability(__VA_ARGS__))
#define WCE_TRY_ACQUIRE(...) WCE_THREAD_ANNOTATION(try_acquire_capability(__VA_ARGS__))
#define WCE_ASSERT_CAPABILITY(x) WCE_THREAD_ANNOTATION(assert_capability(x))
#define WCE_RETURN_CAPABILITY(x) WCE_THREAD_ANNOTATION(lock_returned(x))
#define WCE_NO_THREAD_SAFETY_ANALYSIS WCE_THREAD_ANNOTATION(no_thread_safety_analysis)

namespace wce {

class WCE_CAPABILITY("mutex") Mutex {
 public:
  Mutex() = default;
  Mutex(const Mutex&) = delete;
  Mutex& operator=(const Mutex&) = delete;

  void lock() WCE_ACQUIRE() { mu_.lock(); }
  void unlock() WCE_RELEASE() { mu_.unlock(); }
  bool try_lock() WCE_TRY_ACQUIRE(true) { return mu_.try_lock(); }
  // Tells the analysis that the caller holds this mutex (checked by nothing at run time).
  void AssertHeld() const WCE_ASSERT_CAPABILITY(this) {}

 private:
  friend class UniqueLock;
  std::mutex mu_;
};

// Holds a mutex for its scope.
class WCE_SCOPED_CAPABILITY MutexLock {
 public:
  explicit MutexLock(Mutex& mu) WCE_ACQUIRE(mu) : mu_(mu) { mu_.lock(); }
  ~MutexLock() WCE_RELEASE() { mu_.unlock(); }
  MutexLock(const MutexLock&) = delete;
  MutexLock& operator=(const MutexLock&) = delete;

 private:
  Mutex& mu_;
};

// Holds a mutex for its scope, may let it go and take it again, and can be waited on with a
// std::condition_variable (native()).
class WCE_SCOPED_CAPABILITY UniqueLock {
 public:
  explicit UniqueLock(Mutex& mu) WCE_ACQUIRE(mu) : mu_(&mu), lock_(mu.mu_) {}
  ~UniqueLock() WCE_RELEASE() {}
  UniqueLock(const UniqueLock&) = delete;
  UniqueLock& operator=(const UniqueLock&) = delete;

  void lock() WCE_ACQUIRE() { lock_.lock(); }
  void unlock() WCE_RELEASE() { lock_.unlock(); }
  bool owns_lock() const { return lock_.owns_lock(); }
  Mutex* mutex() const { return mu_; }
  std::unique_lock<std::mutex>& native() { return lock_; }

 private:
  Mutex* mu_;
  std::unique_lock<std::mutex> lock_;
};

}  // namespace wce

#endif  // WINCE_HOST_MUTEX_H_
