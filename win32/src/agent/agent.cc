// Winsock must come before <windows.h>, which the agent's header includes.
#include <winsock2.h>

#include "agent/agent.h"

#include <windows.h>
#include <tlhelp32.h>

#include <cstdlib>
#include <string>

#include "agent/json_writer.h"
#include "agent/screen_probe.h"
#include "device_state.h"
#include "text.h"

namespace kepla_shim {
namespace {

const wchar_t kAgentWindowClass[] = L"KeplaAgent";
const UINT kAgentRequest = WM_APP + 0x4B;
// Posted right behind each click the agent posts: when it arrives, the click before it has been
// dispatched (sent messages overtake posted ones, so without it a snapshot taken just after a
// press would still show the page the press was meant to leave).
const UINT kAgentClickTaken = WM_APP + 0x4C;

// A request run on the user-interface thread. Shared by the agent thread and the handler: the
// one that drops the last reference frees it (a request whose wait timed out may still run).
struct UiRequest {
  enum Kind { kSnapshot, kPress, kDismiss } kind = kSnapshot;
  int index = 0;
  bool ok = false;
  std::string screen;
  LONG references = 2;
};

void Release(UiRequest* request) {
  if (InterlockedDecrement(&request->references) == 0) delete request;
}

HWND g_window = NULL;
SOCKET g_socket = INVALID_SOCKET;
CRITICAL_SECTION g_send_lock;
bool g_running = false;
// The process's threads when the agent had started: the user-interface thread, the agent's and
// whatever the platform keeps.
int g_baseline_threads = 0;
// Clicks posted and not yet taken from the queue. User-interface thread only.
int g_clicks_pending = 0;

int ProcessThreads() {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  const DWORD self = GetCurrentProcessId();
  int count = 0;
  THREADENTRY32 entry = {};
  entry.dwSize = sizeof(entry);
  for (BOOL more = Thread32First(snapshot, &entry); more; more = Thread32Next(snapshot, &entry)) {
    if (entry.th32OwnerProcessID == self) ++count;
  }
  CloseHandle(snapshot);
  return count;
}

// Counts a click just posted (`posted`) and queues its marker behind it.
bool ClickPosted(bool posted) {
  if (posted && PostMessageW(g_window, kAgentClickTaken, 0, 0)) ++g_clicks_pending;
  return posted;
}

LRESULT CALLBACK AgentWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kAgentClickTaken) {
    if (g_clicks_pending > 0) --g_clicks_pending;
    return 0;
  }
  if (message != kAgentRequest) return DefWindowProcW(hwnd, message, wParam, lParam);
  UiRequest* request = reinterpret_cast<UiRequest*>(lParam);
  switch (request->kind) {
    case UiRequest::kSnapshot:
      // A click still queued means the program has input it has not taken: it does not wait.
      request->ok = g_clicks_pending == 0;
      if (request->ok) request->screen = ScreenJson();
      break;
    case UiRequest::kPress:
      request->ok = g_clicks_pending == 0 && ClickPosted(PressSoftKey(request->index));
      break;
    case UiRequest::kDismiss:
      request->ok = g_clicks_pending == 0 && ClickPosted(DismissMessageBox());
      break;
  }
  Release(request);
  return 1;
}

// Runs `request` on the user-interface thread. False when the thread did not get to it in time.
bool RunOnUiThread(UiRequest* request) {
  DWORD_PTR result = 0;
  LRESULT sent = SendMessageTimeoutW(g_window, kAgentRequest, 0, reinterpret_cast<LPARAM>(request),
                                     SMTO_NORMAL, kUiAnswerMs, &result);
  return sent != 0 && result == 1;
}

void SendLine(const std::string& line) {
  EnterCriticalSection(&g_send_lock);
  if (g_socket != INVALID_SOCKET) {
    std::string data = line + "\n";
    size_t sent = 0;
    while (sent < data.size()) {
      int n = send(g_socket, data.data() + sent, static_cast<int>(data.size() - sent), 0);
      if (n <= 0) break;
      sent += static_cast<size_t>(n);
    }
  }
  LeaveCriticalSection(&g_send_lock);
}

std::string Result(bool ok) {
  return std::string("{\"type\":\"result\",\"ok\":") + (ok ? "true" : "false") + "}";
}

bool SignalNamedEvent(const std::string& name) {
  HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, WideFromUtf8(name).c_str());
  if (event == NULL) return false;
  BOOL set = SetEvent(event);
  CloseHandle(event);
  return set != FALSE;
}

std::string Answer(const std::string& line) {
  if (line == "snapshot") {
    UiRequest* request = new UiRequest;
    request->kind = UiRequest::kSnapshot;
    std::string reply;
    if (RunOnUiThread(request) && request->ok) {
      const int workers = ProcessThreads() - g_baseline_threads;
      reply = "{\"type\":\"snapshot\",\"busy\":false,\"workers\":" +
              std::to_string(workers > 0 ? workers : 0) + ",\"screen\":" + request->screen + "}";
    } else {
      reply = "{\"type\":\"snapshot\",\"busy\":true}";
    }
    Release(request);
    return reply;
  }
  if (line == "press 0" || line == "press 1" || line == "ok") {
    UiRequest* request = new UiRequest;
    request->kind = line == "ok" ? UiRequest::kDismiss : UiRequest::kPress;
    request->index = line == "press 1" ? 1 : 0;
    bool ok = RunOnUiThread(request) && request->ok;
    Release(request);
    return Result(ok);
  }
  if (line.rfind("signal ", 0) == 0) return Result(SignalNamedEvent(line.substr(7)));
  return Result(false);
}

DWORD WINAPI AgentThread(LPVOID) {
  std::string pending;
  char chunk[512];
  for (;;) {
    int n = recv(g_socket, chunk, sizeof(chunk), 0);
    if (n <= 0) break;
    pending.append(chunk, static_cast<size_t>(n));
    for (size_t end; (end = pending.find('\n')) != std::string::npos;) {
      std::string line = pending.substr(0, end);
      pending.erase(0, end + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      SendLine(Answer(line));
    }
  }
  return 0;
}

SOCKET Connect(const char* address) {
  std::string text = address;
  size_t colon = text.rfind(':');
  if (colon == std::string::npos) return INVALID_SOCKET;
  sockaddr_in peer = {};
  peer.sin_family = AF_INET;
  peer.sin_port = htons(static_cast<u_short>(std::atoi(text.c_str() + colon + 1)));
  peer.sin_addr.s_addr = inet_addr(text.substr(0, colon).c_str());
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return s;
  if (connect(s, reinterpret_cast<sockaddr*>(&peer), sizeof(peer)) != 0) {
    closesocket(s);
    return INVALID_SOCKET;
  }
  return s;
}

}  // namespace

bool StartAgent(HINSTANCE instance) {
  const char* address = std::getenv("KEPLA_AGENT");
  if (address == NULL || *address == 0) return false;
  WSADATA wsa;
  if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return false;
  g_socket = Connect(address);
  if (g_socket == INVALID_SOCKET) return false;
  InitializeCriticalSection(&g_send_lock);

  WNDCLASSW wc = {};
  wc.lpfnWndProc = AgentWindowProc;
  wc.hInstance = instance;
  wc.lpszClassName = kAgentWindowClass;
  RegisterClassW(&wc);
  g_window =
      CreateWindowExW(0, kAgentWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, NULL, instance, NULL);
  if (g_window == NULL) {
    closesocket(g_socket);
    g_socket = INVALID_SOCKET;
    return false;
  }
  JsonWriter hello;
  hello.BeginObject().Key("type").String(L"hello").Key("pid").Number(GetCurrentProcessId());
  hello.EndObject();
  SendLine(hello.text());
  HANDLE thread = CreateThread(NULL, 0, AgentThread, NULL, 0, NULL);
  if (thread != NULL) CloseHandle(thread);
  g_baseline_threads = ProcessThreads();
  g_running = true;
  return true;
}

void ReportExit(int code) {
  if (!g_running) return;
  const KeepAwakeRecord record = KeepAwakeState();
  JsonWriter json;
  json.BeginObject().Key("type").String(L"exit").Key("code").Number(code);
  json.Key("backlightHeld").Bool(record.backlight_held);
  json.Key("idleTimerResets").Number(record.idle_timer_resets);
  json.EndObject();
  SendLine(json.text());
  EnterCriticalSection(&g_send_lock);
  shutdown(g_socket, SD_SEND);
  LeaveCriticalSection(&g_send_lock);
}

}  // namespace kepla_shim
