// Draws a device screen snapshot into a grid of character cells: the phone as a terminal shows it.
//
// Pure: no terminal, no device. The terminal screen (terminal_screen.h) puts the grid on screen;
// tests read it as text.
#ifndef KEPLA_SIM_SCREEN_RENDER_H_
#define KEPLA_SIM_SCREEN_RENDER_H_

#include <cstdint>
#include <string>
#include <vector>

#include <wince/automation.h>

namespace kepla {

enum CellAttr : std::uint8_t {
  kAttrNormal = 0,
  kAttrBar = 1 << 0,     // title bar and soft-key bar (inverse video)
  kAttrDim = 1 << 1,     // disabled soft key
  kAttrBold = 1 << 2,    // message box caption, key hints
  kAttrFill = 1 << 3,    // filled part of a progress bar
  kAttrBorder = 1 << 4,  // frames
};

struct Cell {
  char32_t ch = U' ';
  std::uint8_t attr = kAttrNormal;
};

class CellGrid {
 public:
  CellGrid(int cols, int rows)
      : cols_(cols > 0 && rows > 0 ? cols : 0),
        rows_(cols > 0 && rows > 0 ? rows : 0),
        cells_(static_cast<std::size_t>(cols_) * rows_) {}
  int cols() const { return cols_; }
  int rows() const { return rows_; }
  // The cell at (col, row), which must lie inside the grid.
  const Cell& at(int col, int row) const { return cells_[row * cols_ + col]; }
  // Writes one cell; a place outside the grid is left alone. Every write goes through here.
  void Set(int col, int row, Cell cell);
  // Writes text from (col, row), clipped to the grid and to `max_cols` cells.
  void Put(int col, int row, std::u32string_view text, std::uint8_t attr, int max_cols = -1);
  void Fill(int col, int row, int width, char32_t ch, std::uint8_t attr);
  // Row `row` as UTF-32 with trailing blanks removed (for tests and plain output).
  std::u32string RowText(int row) const;

 private:
  int cols_;
  int rows_;
  std::vector<Cell> cells_;
};

// Device pixels per terminal cell.
struct CellScale {
  int px_per_col = 6;
  int px_per_row = 16;
};

// The scale for a snapshot: a 240x320 screen in 40x20 cells, a 320x240 one in 54x20, so that
// either fits an 80x24 terminal with its frame and key line.
CellScale DefaultScale(const wce::ScreenSnapshot& snap);

// The cells a snapshot's screen needs: the device screen plus a one-cell frame.
int ScreenCols(const wce::ScreenSnapshot& snap, CellScale scale);
int ScreenRows(const wce::ScreenSnapshot& snap, CellScale scale);

// Draws the framed device screen: the title bar, every visible control at its rectangle (static
// texts wrapped inside it, running on below it when they need more room), progress bars as a
// filled bar, the two soft keys at the bottom (a disabled one dimmed), and an open message box
// over the page.
CellGrid RenderScreen(const wce::ScreenSnapshot& snap, CellScale scale);
inline CellGrid RenderScreen(const wce::ScreenSnapshot& snap) {
  return RenderScreen(snap, DefaultScale(snap));
}

// Word-wraps `text` (line feeds respected, over-long words broken) into lines of at most `width`.
std::vector<std::u32string> WrapText(std::u32string_view text, int width);

std::u32string ToU32(std::u16string_view text);
std::string ToUtf8(std::u32string_view text);

}  // namespace kepla

#endif  // KEPLA_SIM_SCREEN_RENDER_H_
