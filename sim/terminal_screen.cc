#include "sim/terminal_screen.h"

#include <curses.h>
#include <langinfo.h>
#include <unistd.h>

#include <csignal>

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "sim/screen_port.h"
#include "sim/screen_render.h"

namespace kepla {
namespace {

// Stand-ins for terminals whose locale cannot show the device's characters.
wchar_t AsciiFallback(char32_t ch) {
  switch (ch) {
    case U'\u2026':
      return L'.';
    case U'\u2588':
      return L'#';
    case U'\u2591':
      return L'-';
    case U'\u2500':
    case U'\u2550':
      return L'-';
    case U'\u2502':
    case U'\u2551':
      return L'|';
    case U'\u250c':
    case U'\u2510':
    case U'\u2514':
    case U'\u2518':
    case U'\u2554':
    case U'\u2557':
    case U'\u255a':
    case U'\u255d':
      return L'+';
    default:
      return ch < 0x80 ? static_cast<wchar_t>(ch) : L'?';
  }
}

// `text` in lines of at most `width` characters, broken between words (a word longer than a line
// is cut).
std::vector<std::string> WrapWords(const std::string& text, int width) {
  const std::size_t max = static_cast<std::size_t>(std::max(width, 1));
  std::vector<std::string> lines;
  std::string line;
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find(' ', at);
    if (end == std::string::npos) end = text.size();
    std::string word = text.substr(at, end - at);
    at = end + 1;
    if (!line.empty() && line.size() + 1 + word.size() > max) {
      lines.push_back(std::move(line));
      line.clear();
    }
    if (!line.empty()) line += ' ';
    line += word;
    while (line.size() > max) {
      lines.push_back(line.substr(0, max));
      line.erase(0, max);
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

attr_t CursesAttr(std::uint8_t attr) {
  attr_t a = A_NORMAL;
  if (attr & kAttrBar) a |= A_REVERSE;
  if (attr & kAttrDim) a |= A_DIM;
  if (attr & kAttrBold) a |= A_BOLD;
  if (attr & kAttrFill) a |= A_BOLD;
  return a;
}

}  // namespace

const char kKeyHelp[] = "F1/[ left key   F2/] right key   Enter OK   r rotate   q quit";
const char kQuitQuestion[] = "Still at work on the card: quit and leave it unfinished? y/n";

KeyCommand CommandForKey(int key) {
  switch (key) {
    case KEY_F(1):
    case '[':
      return KeyCommand::kLeftSoftKey;
    case KEY_F(2):
    case ']':
      return KeyCommand::kRightSoftKey;
    case KEY_ENTER:
    case '\n':
    case '\r':
      return KeyCommand::kOk;
    case 'r':
    case 'R':
      return KeyCommand::kRotate;
    case 'q':
    case 'Q':
    case KEY_F(10):
      return KeyCommand::kQuit;
    case 0x03:  // Ctrl-C
      return KeyCommand::kInterrupt;
    default:
      return KeyCommand::kNone;
  }
}

std::vector<std::string> TooSmallLines(int need_cols, int need_rows, int cols, int rows) {
  const std::string need = std::to_string(need_cols) + "x" + std::to_string(need_rows);
  const std::string have = std::to_string(cols) + "x" + std::to_string(rows);
  std::vector<std::string> lines = WrapWords(
      "Terminal too small: the device screen needs " + need + ", this one is " + have + ".", cols);
  for (std::string& line : WrapWords("Enlarge the window, or press q to quit.", cols)) {
    lines.push_back(std::move(line));
  }
  if (static_cast<int>(lines.size()) <= rows) return lines;
  return WrapWords("Needs " + need + ", is " + have + ": enlarge, or q quits.", cols);
}

bool TerminalScreen::Available(std::string* why) {
  if (!isatty(STDIN_FILENO) || !isatty(STDOUT_FILENO)) {
    if (why)
      *why = "the device screen needs a terminal; run with --script ACTIONS to drive it headless";
    return false;
  }
  const char* term = std::getenv("TERM");
  if (term == nullptr || *term == '\0' || std::strcmp(term, "dumb") == 0) {
    if (why)
      *why = "the device screen needs a terminal type with cursor control (TERM is unset or dumb)";
    return false;
  }
  return true;
}

void TerminalScreen::Draw(const wce::ScreenSnapshot& snap, const std::string& note) {
  static const bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  erase();
  CellGrid grid = RenderScreen(snap);
  int term_rows = 0, term_cols = 0;
  getmaxyx(stdscr, term_rows, term_cols);
  const int need_rows = grid.rows() + 2;
  const int need_cols = std::max<int>(grid.cols(), static_cast<int>(std::strlen(kKeyHelp)));
  if (term_rows < need_rows || term_cols < need_cols) {
    const std::vector<std::string> lines =
        TooSmallLines(need_cols, need_rows, term_cols, term_rows);
    for (int y = 0; y < static_cast<int>(lines.size()) && y < term_rows; ++y) {
      mvaddnstr(y, 0, lines[y].c_str(), term_cols);
    }
    refresh();
    return;
  }
  const int x0 = (term_cols - grid.cols()) / 2;
  for (int y = 0; y < grid.rows(); ++y) {
    for (int x = 0; x < grid.cols(); ++x) {
      const Cell& cell = grid.at(x, y);
      wchar_t wc[2] = {utf8 ? static_cast<wchar_t>(cell.ch) : AsciiFallback(cell.ch), 0};
      attr_t a = CursesAttr(cell.attr);
      attron(a);
      mvaddnwstr(y, x0 + x, wc, 1);
      attroff(a);
    }
  }
  mvprintw(grid.rows(), (term_cols - static_cast<int>(std::strlen(kKeyHelp))) / 2, "%s", kKeyHelp);
  if (!note.empty()) {
    const int width = static_cast<int>(note.size());
    mvprintw(grid.rows() + 1, std::max(0, std::min(x0, (term_cols - width) / 2)), "%s",
             note.c_str());
  }
  refresh();
}

FrontendResult TerminalScreen::Drive(ScreenPort& port, const std::function<void()>& start_program) {
  std::setlocale(LC_ALL, "");
  initscr();
  cbreak();
  noecho();
  keypad(stdscr, TRUE);
  curs_set(0);
  timeout(40);

  start_program();
  std::uint64_t drawn_generation = ~0ull;
  int drawn_rows = 0, drawn_cols = 0;
  std::string note;
  bool quit = false;
  bool asking = false;  // whether to quit while the program is at work
  for (;;) {
    wce::ScreenSnapshot snap = port.Snapshot();
    if (!snap.program_running) break;
    int rows = 0, cols = 0;
    getmaxyx(stdscr, rows, cols);
    if (snap.generation != drawn_generation || rows != drawn_rows || cols != drawn_cols) {
      Draw(snap, note);
      drawn_generation = snap.generation;
      drawn_rows = rows;
      drawn_cols = cols;
    }
    int key = getch();
    if (key == ERR) continue;
    if (key == KEY_RESIZE) {
      // What the terminal kept of the old frame is unknown after a resize: clear it all on the
      // next draw rather than only the cells curses believes changed.
      clear();
      drawn_rows = -1;
      continue;
    }
    if (asking) {
      asking = false;
      quit = key == 'y' || key == 'Y';
      if (quit) break;
      note = "";
      drawn_generation = ~0ull;
      continue;
    }
    std::optional<wce::Action> action;
    switch (CommandForKey(key)) {
      case KeyCommand::kLeftSoftKey:
        action = wce::PressSoftKey{0};
        break;
      case KeyCommand::kRightSoftKey:
        action = wce::PressSoftKey{1};
        break;
      case KeyCommand::kOk:
        action = wce::DismissMessageBox{};
        break;
      case KeyCommand::kRotate:
        action = wce::Rotate{(snap.rotation + 90) % 360};
        break;
      case KeyCommand::kQuit:
        // Stopping now would leave what the program is writing unfinished or unchecked.
        if (port.ProgramThreadsRunning()) {
          asking = true;
          note = kQuitQuestion;
          drawn_generation = ~0ull;
        } else {
          quit = true;
        }
        break;
      case KeyCommand::kInterrupt:
        // As SIGINT from the terminal would be: the program is stopped, and the loop ends.
        kill(getpid(), SIGINT);
        break;
      case KeyCommand::kNone:
        break;
    }
    if (quit) break;
    if (action) {
      bool applied = port.Apply(*action);
      note = applied ? "" : "(not available now)";
      if (!applied) beep();
      drawn_generation = ~0ull;  // redraw with the note
    }
  }
  endwin();
  FrontendResult result;
  if (quit) {
    result.outcome = FrontendResult::Outcome::kQuit;
    result.busy = port.ProgramThreadsRunning();
    result.reason = result.busy ? "the user quit the simulation while the program was at work"
                                : "the user quit the simulation";
  }
  return result;
}

}  // namespace kepla
