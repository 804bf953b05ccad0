// The three standard streams of a command-line program: present from the start, and standard
// output checked at the end.
#ifndef KEPLA_TOOLS_STANDARD_STREAMS_H_
#define KEPLA_TOOLS_STANDARD_STREAMS_H_

namespace kepla::pkg {

// Puts /dev/null, opened for reading only, in place of a standard stream the program was started
// without (`<&-`, `>&-`, `2>&-`), so that no file the program opens later takes its number and
// receives its messages; writing to such a stream then fails (EBADF) as it did while it was
// closed. Call first thing in main, before any thread starts.
void KeepStandardStreamsOpen();

// Flushes std::cout. When its text did not reach its reader (a full disk behind >, a closed
// pipe with SIGPIPE ignored, a closed stream) says so in one line on std::cerr
// ("PROGRAM: standard output: cannot be written: REASON") and returns 2 in place of a `code` of
// 0; otherwise returns `code`.
int CheckStandardOutput(const char* program, int code);

}  // namespace kepla::pkg

#endif  // KEPLA_TOOLS_STANDARD_STREAMS_H_
