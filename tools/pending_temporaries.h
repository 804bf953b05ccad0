// Temporary files that a signal must not leave behind.
#ifndef KEPLA_TOOLS_PENDING_TEMPORARIES_H_
#define KEPLA_TOOLS_PENDING_TEMPORARIES_H_

namespace kepla::pkg {

// Notes `path` as a temporary file being written. Returns a token for Forget, or -1 when the path
// cannot be noted (too long, or too many at once: such a file is only left to the sweep of stale
// temporaries of a later run). Thread-safe.
int RememberTemporary(const char* path);
// Drops the note (the file was renamed into place or removed). Thread-safe; -1 is ignored.
void ForgetTemporary(int token);

// Removes every noted temporary file. Async-signal-safe.
void RemoveTemporariesNow();

// From now on SIGINT, SIGTERM and SIGHUP remove the noted temporary files and then end the
// process by the same signal (so its exit status says so). A signal that is ignored when this is
// called (nohup) stays ignored.
void RemoveTemporariesOnSignals();

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_PENDING_TEMPORARIES_H_
