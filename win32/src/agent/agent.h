// The automation agent of the Win32 build: a thread of the program's own process that lets
// `kepla --platform wine` see the screen and press keys, with Win32 calls only.
//
// It connects to the address in the environment variable KEPLA_AGENT ("127.0.0.1:PORT") and
// answers one line per request line:
//   snapshot       {"type":"snapshot","busy":false,"workers":0,"screen":{...}}  (busy: the
//                  user-interface thread did not reach its message retrieval within kUiAnswerMs,
//                  or a click the agent posted is still in its queue; no screen. workers: the
//                  threads the program started that are still there)
//   press 0|1      {"type":"result","ok":true}   a soft key, only when offered
//   ok             {"type":"result","ok":true}   OK on the open message box
//   signal NAME    {"type":"result","ok":true}   sets the named event, as another process would
// The requests that look at the screen run on the user-interface thread, inside a message sent
// to a message-only window of that thread: they are answered only while the thread retrieves
// messages (that is, waits for input), and they see a screen that cannot change under them.
// When the program's WinMain has returned, the agent sends {"type":"exit","code":N,...} and
// closes the connection.
//
// Thread rules: Start and ReportExit on the user-interface thread (the one that runs WinMain).
#ifndef KEPLA_WIN32_AGENT_AGENT_H_
#define KEPLA_WIN32_AGENT_AGENT_H_

#include <windows.h>

namespace kepla_shim {

const DWORD kUiAnswerMs = 200;

// Starts the agent when KEPLA_AGENT is set and the connection can be made; returns whether it
// runs. Without an agent the program runs as it would by hand.
bool StartAgent(HINSTANCE instance);
// Reports the program's exit code and what the keep-awake guard left behind, then disconnects.
void ReportExit(int code);

}  // namespace kepla_shim

#endif  // KEPLA_WIN32_AGENT_AGENT_H_
