#include "sim/screen_render.h"

#include <wince/utf.h>

#include <algorithm>
#include <string>

namespace kepla {
namespace {

constexpr char32_t kFull = U'\u2588';
constexpr char32_t kLight = U'\u2591';

int CeilDiv(int a, int b) { return (a + b - 1) / b; }

bool IsProgress(const wce::ControlSnapshot& c) {
  return c.progress_pos.has_value() || c.class_name == u"msctls_progress32";
}

// A rectangle of the grid that drawing is clipped to; `right` and `bottom` are exclusive.
struct ClipRect {
  CellGrid& g;
  int left, top, right, bottom;

  void Set(int col, int row, Cell cell) {
    if (col >= left && col < right && row >= top && row < bottom) g.Set(col, row, cell);
  }
  // `text` from (col, row), at most `max_cols` cells of it (nothing when max_cols <= 0).
  void Put(int col, int row, std::u32string_view text, std::uint8_t attr, int max_cols) {
    for (int i = 0; i < max_cols && i < static_cast<int>(text.size()); ++i) {
      Set(col + i, row, {text[i], attr});
    }
  }
  void Fill(int col, int row, int width, char32_t ch, std::uint8_t attr) {
    for (int x = std::max(col, left); x < std::min(right, col + width); ++x) {
      Set(x, row, {ch, attr});
    }
  }
};

void DrawFrame(CellGrid& g) {
  int w = g.cols(), h = g.rows();
  for (int x = 1; x < w - 1; ++x) {
    g.Set(x, 0, {U'\u2500', kAttrBorder});
    g.Set(x, h - 1, {U'\u2500', kAttrBorder});
  }
  for (int y = 1; y < h - 1; ++y) {
    g.Set(0, y, {U'\u2502', kAttrBorder});
    g.Set(w - 1, y, {U'\u2502', kAttrBorder});
  }
  g.Set(0, 0, {U'\u250c', kAttrBorder});
  g.Set(w - 1, 0, {U'\u2510', kAttrBorder});
  g.Set(0, h - 1, {U'\u2514', kAttrBorder});
  g.Set(w - 1, h - 1, {U'\u2518', kAttrBorder});
}

// A double-lined box, cleared inside; what falls outside `clip` is cut off.
void DrawBox(ClipRect& clip, int x0, int y0, int w, int h) {
  for (int y = y0; y < y0 + h; ++y) clip.Fill(x0, y, w, U' ', kAttrNormal);
  for (int x = x0 + 1; x < x0 + w - 1; ++x) {
    clip.Set(x, y0, {U'\u2550', kAttrBorder});
    clip.Set(x, y0 + h - 1, {U'\u2550', kAttrBorder});
  }
  for (int y = y0 + 1; y < y0 + h - 1; ++y) {
    clip.Set(x0, y, {U'\u2551', kAttrBorder});
    clip.Set(x0 + w - 1, y, {U'\u2551', kAttrBorder});
  }
  clip.Set(x0, y0, {U'\u2554', kAttrBorder});
  clip.Set(x0 + w - 1, y0, {U'\u2557', kAttrBorder});
  clip.Set(x0, y0 + h - 1, {U'\u255a', kAttrBorder});
  clip.Set(x0 + w - 1, y0 + h - 1, {U'\u255d', kAttrBorder});
}

}  // namespace

void CellGrid::Set(int col, int row, Cell cell) {
  if (col < 0 || col >= cols_ || row < 0 || row >= rows_) return;
  cells_[row * cols_ + col] = cell;
}

void CellGrid::Put(int col, int row, std::u32string_view text, std::uint8_t attr, int max_cols) {
  if (row < 0 || row >= rows_) return;
  int limit = max_cols < 0 ? cols_ : std::min(cols_, col + max_cols);
  for (char32_t ch : text) {
    if (col >= limit) break;
    Set(col, row, {ch, attr});
    ++col;
  }
}

void CellGrid::Fill(int col, int row, int width, char32_t ch, std::uint8_t attr) {
  if (row < 0 || row >= rows_) return;
  for (int x = std::max(col, 0); x < std::min(cols_, col + width); ++x) Set(x, row, {ch, attr});
}

std::u32string CellGrid::RowText(int row) const {
  std::u32string line;
  for (int x = 0; x < cols_; ++x) line.push_back(at(x, row).ch);
  line.erase(line.find_last_not_of(U' ') + 1);
  return line;
}

std::vector<std::u32string> WrapText(std::u32string_view text, int width) {
  std::vector<std::u32string> lines;
  if (width <= 0) return lines;
  std::size_t start = 0;
  for (;;) {
    std::size_t end = text.find(U'\n', start);
    std::u32string_view para =
        text.substr(start, end == std::u32string_view::npos ? text.npos : end - start);
    std::u32string line;
    std::size_t i = 0;
    if (para.empty()) lines.emplace_back();
    // A line that fits is kept as it is, indentation included.
    if (!para.empty() && para.size() <= static_cast<std::size_t>(width)) {
      lines.emplace_back(para);
      i = para.size();
    }
    // Otherwise its indentation stays on the first wrapped line.
    std::size_t indent = para.find_first_not_of(U' ');
    if (i == 0 && indent != para.npos && indent > 0 && indent < static_cast<std::size_t>(width)) {
      line.assign(indent, U' ');
      i = indent;
    }
    while (i < para.size()) {
      std::size_t word_end = para.find(U' ', i);
      if (word_end == para.npos) word_end = para.size();
      std::u32string_view word = para.substr(i, word_end - i);
      const bool fresh = line.find_first_not_of(U' ') == line.npos;
      std::size_t need = fresh ? line.size() + word.size() : line.size() + 1 + word.size();
      if (need <= static_cast<std::size_t>(width)) {
        if (!fresh) line.push_back(U' ');
        line.append(word);
      } else if (word.size() > static_cast<std::size_t>(width)) {
        // Break an over-long word across lines, starting on a line of its own.
        if (!fresh) {
          lines.push_back(std::move(line));
          line.clear();
        }
        for (char32_t ch : word) {
          if (line.size() >= static_cast<std::size_t>(width)) {
            lines.push_back(std::move(line));
            line.clear();
          }
          line.push_back(ch);
        }
      } else {
        lines.push_back(std::move(line));
        line.assign(word);
      }
      i = word_end + 1;
    }
    if (!para.empty() && !line.empty()) lines.push_back(std::move(line));
    if (end == std::u32string_view::npos) break;
    start = end + 1;
  }
  return lines;
}

CellScale DefaultScale(const wce::ScreenSnapshot& snap) {
  CellScale scale;
  scale.px_per_col = 6;
  scale.px_per_row = snap.height > snap.width ? 16 : 12;
  return scale;
}

int ScreenCols(const wce::ScreenSnapshot& snap, CellScale scale) {
  return CeilDiv(std::max(snap.width, 1), scale.px_per_col) + 2;
}

int ScreenRows(const wce::ScreenSnapshot& snap, CellScale scale) {
  return CeilDiv(std::max(snap.height, 1), scale.px_per_row) + 2;
}

CellGrid RenderScreen(const wce::ScreenSnapshot& snap, CellScale scale) {
  CellGrid g(ScreenCols(snap, scale), ScreenRows(snap, scale));
  DrawFrame(g);
  const int inner_w = g.cols() - 2;
  const int inner_h = g.rows() - 2;
  // Everything below is drawn inside the frame, whatever the size of the screen.
  ClipRect inner{g, 1, 1, g.cols() - 1, g.rows() - 1};
  const int title_row = 1;  // the navigation bar (26 px) takes the first row
  const int keys_row = g.rows() - 2;
  auto col_of = [&](LONG px) { return 1 + static_cast<int>(px) / scale.px_per_col; };
  auto row_of = [&](LONG px) { return 1 + static_cast<int>(px) / scale.px_per_row; };

  // Navigation bar with the window title.
  inner.Fill(1, title_row, inner_w, U' ', kAttrBar);
  inner.Put(2, title_row, ToU32(snap.has_window ? snap.title : u""), kAttrBar, inner_w - 2);

  // Controls.
  for (const wce::ControlSnapshot& c : snap.controls) {
    if (!c.visible) continue;
    int x = col_of(c.rect.left);
    int y = std::max(row_of(c.rect.top), title_row + 1);
    int w = std::max(1, static_cast<int>(c.rect.right - c.rect.left) / scale.px_per_col);
    w = std::min(w, g.cols() - 1 - x);
    if (w <= 0 || y >= keys_row) continue;
    if (IsProgress(c)) {
      int pos = c.progress_pos.value_or(c.progress_min);
      int span = std::max(1, c.progress_max - c.progress_min);
      int pct = std::clamp((pos - c.progress_min) * 100 / span, 0, 100);
      std::string digits = std::to_string(pct);
      std::u32string label = U" ";
      label.append(digits.begin(), digits.end());
      label += U'%';
      int bar_w = std::max(1, w - static_cast<int>(label.size()));
      int filled = bar_w * pct / 100;
      inner.Fill(x, y, filled, kFull, kAttrFill);
      inner.Fill(x + filled, y, bar_w - filled, kLight, kAttrNormal);
      inner.Put(x + bar_w, y, label, kAttrNormal, w - bar_w);
      continue;
    }
    for (const std::u32string& line : WrapText(ToU32(c.text), w)) {
      if (y >= keys_row) break;
      inner.Fill(x, y, w, U' ', kAttrNormal);
      inner.Put(x, y, line, kAttrNormal, w);
      ++y;
    }
  }

  // Soft keys.
  inner.Fill(1, keys_row, inner_w, U' ', kAttrBar);
  const int key_room = std::max(0, inner_w / 2 - 2);
  if (snap.soft_keys.size() >= 1) {
    const auto& key = snap.soft_keys[0];
    inner.Put(2, keys_row, ToU32(key.label), key.enabled ? kAttrBar : kAttrBar | kAttrDim,
              key_room);
  }
  if (snap.soft_keys.size() >= 2) {
    const auto& key = snap.soft_keys[1];
    std::u32string label = ToU32(key.label);
    int len = std::min<int>(label.size(), key_room);
    inner.Put(1 + inner_w - 1 - len, keys_row, label, key.enabled ? kAttrBar : kAttrBar | kAttrDim,
              len);
  }

  // Message box over the page: a frame, the caption, a blank row, the text, a blank row, [ OK ]
  // and the frame again, below the navigation bar, 36 columns at most with a column of the page
  // left on either side. On a small screen the box gives up, in turn, the side columns (when
  // [ OK ] would not fit between them), the blank rows, the navigation bar and lines of text;
  // what still does not fit is cut off at the frame of the screen.
  if (snap.message_box) {
    const wce::MessageBoxSnapshot& box = *snap.message_box;
    const std::u32string ok = U"[ OK ]";
    const int ok_w = static_cast<int>(ok.size());
    int box_w = std::min(inner_w - 2, 36);
    if (box_w < ok_w + 2) box_w = inner_w;
    constexpr int kCompactRows = 5;  // frame, caption, one line of text, [ OK ], frame
    constexpr int kFullRows = kCompactRows + 2;
    const int top = inner_h - 1 >= kCompactRows ? title_row + 1 : title_row;
    const int room = inner_h - top + 1;  // rows from `top` down to the soft keys
    const int gap = room >= kFullRows ? 1 : 0;
    std::vector<std::u32string> lines = WrapText(ToU32(box.text), box_w - 4);
    const int max_lines = std::max(0, room - 4 - 2 * gap);
    if (static_cast<int>(lines.size()) > max_lines) lines.resize(max_lines);
    int box_h = static_cast<int>(lines.size()) + 4 + 2 * gap;
    int x0 = 1 + (inner_w - box_w) / 2;
    int y0 = 1 + std::max(top - 1, (inner_h - box_h) / 2);
    DrawBox(inner, x0, y0, box_w, box_h);
    inner.Put(x0 + 2, y0 + 1, ToU32(box.caption), kAttrBold, box_w - 4);
    for (std::size_t i = 0; i < lines.size(); ++i) {
      inner.Put(x0 + 2, y0 + 2 + gap + static_cast<int>(i), lines[i], kAttrNormal, box_w - 4);
    }
    inner.Put(x0 + std::max(1, (box_w - ok_w) / 2), y0 + box_h - 2, ok, kAttrBold, box_w - 2);
  }
  return g;
}

std::u32string ToU32(std::u16string_view text) {
  std::u32string out = wce::Utf16ToUtf32(text);
  for (char32_t& c : out) {
    if (c == U'\r' || c == U'\t') c = U' ';
  }
  return out;
}

std::string ToUtf8(std::u32string_view text) {
  std::string out;
  for (char32_t c : text) wce::AppendUtf8(c, &out);
  return out;
}

}  // namespace kepla
