#include "codec/text_window_picture.h"

#include <algorithm>
#include <cstdio>

#include "codec/character_map.h"
#include "codec/rom_fonts.h"

namespace lettermoor {

using namespace text_window;

namespace {

std::string Printed(const TextLayoutResult& layout, const LayoutLine& line, const CharacterTable* characters) {
  std::string s;
  for (int32_t k = line.firstItem; k < line.firstItem + line.itemCount; ++k) {
    const LayoutItem& item = layout.items[static_cast<size_t>(k)];
    if (item.kind == LayoutItem::Character && !item.dropped) {
      if (characters) {
        s += characters->TextOf(item.value);
      } else {
        s.push_back(kGameCharacters.CharacterOf(item.value));
      }
    }
    if (item.kind == LayoutItem::Substitution) {
      char buf[16];
      std::snprintf(buf, sizeof buf, "[%.2X %.2X]", item.value, item.subCode);
      s += buf;
    }
  }
  return s;
}

}  // namespace

void DrawTextWindowFrame(const TextLayoutResult& layout, int frameIndex, const RomFonts& fonts,
                         TextWindowPicture& out) {
  const WindowShape shape = ShapeOf(layout.kind);
  out.lineWidth = shape.lineWidth;
  out.width = shape.lineWidth + TextWindowPicture::kOverflowRoom;
  out.height = shape.lines * kLineHeight;
  out.pixels.assign(static_cast<size_t>(out.width) * static_cast<size_t>(out.height), WindowPixel::Background);
  for (int y = 0; y < out.height; ++y) {
    std::fill_n(out.pixels.begin() + static_cast<ptrdiff_t>(y) * out.width + out.lineWidth,
                TextWindowPicture::kOverflowRoom, WindowPixel::Outside);
  }
  if (frameIndex < 0 || frameIndex >= static_cast<int>(layout.frames.size())) return;
  const LayoutFrame& frame = layout.frames[static_cast<size_t>(frameIndex)];
  auto put = [&](int x, int y, WindowPixel p) {
    if (x >= 0 && x < out.width && y >= 0 && y < out.height) {
      out.pixels[static_cast<size_t>(y) * static_cast<size_t>(out.width) + static_cast<size_t>(x)] = p;
    }
  };

  for (int32_t n = frame.firstLine; n <= frame.lastLine; ++n) {
    const LayoutLine& line = layout.lines[static_cast<size_t>(n)];
    const int top = (n - frame.firstLine) * kLineHeight;
    if (line.wrapped && line.indent > 0) {
      for (int x = 0; x + 1 < line.indent; ++x) put(x, top + kLineHeight - 2, WindowPixel::WrapMark);
    }
    const int32_t end = std::min(line.firstItem + line.itemCount, frame.endItem);
    for (int32_t k = line.firstItem; k < end; ++k) {
      const LayoutItem& item = layout.items[static_cast<size_t>(k)];
      if (item.kind == LayoutItem::Substitution) {
        for (int y = 3; y < kLineHeight - 3; ++y) {
          for (int x = item.x; x < item.x + item.width - kCharacterSpacing; ++x) put(x, top + y, WindowPixel::Estimate);
        }
        continue;
      }
      if (item.kind != LayoutItem::Character || item.dropped) continue;
      const RomFont& font = fonts.Of(item.font);
      const int width = font.Width(item.value);
      const int rows = std::min(font.height, kLineHeight);
      for (int y = 0; y < rows; ++y) {
        for (int x = 0; x < width; ++x) {
          if (!font.Pixel(item.value, x, y)) continue;
          const int px = item.x + x;
          put(px, top + y, line.overflow || px >= out.lineWidth ? WindowPixel::OverflowInk : WindowPixel::Ink);
        }
      }
    }
    if (line.cut && end == line.firstItem + line.itemCount) {
      for (int y = 2; y < kLineHeight - 2; ++y) put(out.lineWidth - 1, top + y, WindowPixel::CutMark);
    }
  }
}

std::string DescribeLayout(const TextLayoutResult& layout, const CharacterTable* characters) {
  const int lineWidth = ShapeOf(layout.kind).lineWidth;
  // Each wait is told on its own line of text, before the line it stands on when nothing is
  // printed ahead of it there, after that line otherwise.
  std::vector<std::vector<std::pair<bool, uint8_t>>> waits(layout.lines.size());
  for (const LayoutFrame& f : layout.frames) {
    if (f.waitCode == 0) continue;
    const LayoutItem& wait = layout.items[static_cast<size_t>(f.endItem - 1)];
    const LayoutLine& line = layout.lines[static_cast<size_t>(wait.line)];
    bool before = true;
    for (int32_t k = line.firstItem; k < f.endItem - 1 && before; ++k) {
      const LayoutItem& item = layout.items[static_cast<size_t>(k)];
      before = !((item.kind == LayoutItem::Character && !item.dropped) || item.kind == LayoutItem::Substitution);
    }
    waits[static_cast<size_t>(wait.line)].emplace_back(before, f.waitCode);
  }
  auto tellWaits = [&](size_t n, bool before, std::string& s) {
    for (const auto& [isBefore, code] : waits[n]) {
      if (isBefore != before) continue;
      char buf[32];
      std::snprintf(buf, sizeof buf, "-- wait %.2X --\n", code);
      s += buf;
    }
  };
  std::string s;
  for (size_t n = 0; n < layout.lines.size(); ++n) {
    const LayoutLine& line = layout.lines[n];
    if (n > 0 && line.windowStart == static_cast<int32_t>(n)) s += "-- window cleared --\n";
    tellWaits(n, true, s);
    std::string marks;
    auto mark = [&](bool on, const char* what) {
      if (!on) return;
      marks += marks.empty() ? " (" : ", ";
      marks += what;
    };
    mark(line.wrapped, "wrapped");
    mark(line.cut, "cut");
    mark(line.overflow, "runs over");
    mark(line.estimated, "estimate");
    if (!marks.empty()) marks += ")";
    char head[96];
    std::snprintf(head, sizeof head, "%3zu  %3d px  %4d left%s\t", n + 1, line.width, lineWidth - line.width,
                  marks.c_str());
    s += head;
    s += Printed(layout, line, characters);
    s += "\n";
    tellWaits(n, false, s);
  }
  return s;
}

std::optional<LayoutFaultAt> FindLayoutFault(const TextLayoutResult& layout, bool estimates) {
  const int lineWidth = ShapeOf(layout.kind).lineWidth;
  for (size_t n = 0; n < layout.lines.size(); ++n) {
    const LayoutLine& line = layout.lines[n];
    const int number = static_cast<int>(n) + 1;
    if (line.cut) return LayoutFaultAt{number, true, 0, false};
    if (line.overflow && (estimates || !line.estimated)) {
      return LayoutFaultAt{number, false, line.width - lineWidth, line.estimated};
    }
  }
  return std::nullopt;
}

std::string DescribeLayoutFault(const LayoutFaultAt& fault) {
  char buf[96];
  if (fault.cut) {
    std::snprintf(buf, sizeof buf, "line %d cuts a word", fault.line);
  } else {
    std::snprintf(buf, sizeof buf, "line %d runs over by %d px%s", fault.line, fault.over,
                  fault.estimated ? " (estimate)" : "");
  }
  return buf;
}

std::string LayoutFault(const TextLayoutResult& layout, bool estimates) {
  const std::optional<LayoutFaultAt> fault = FindLayoutFault(layout, estimates);
  return fault ? DescribeLayoutFault(*fault) : std::string();
}

}  // namespace lettermoor
