#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "codec/text_dictionary.h"
#include "codec/text_preview.h"
#include "codec/text_window_picture.h"
#include "rom/rom_file.h"
#include "sample/sample_rom.h"
#include "support/synthetic_rom.h"

namespace lettermoor {
namespace {

using test::TempFile;

std::unique_ptr<RomFile> OpenImage(const TempFile& file, const std::vector<uint8_t>& image) {
  file.WriteAll(image);
  return RomFile::Open(file.Path(), RomAccess::ReadOnly);
}

// The preview's one way through: the font of the window's kind, the layout, the lines that do
// not fit, and the refusal when that font cannot be read (the other kind's font still serves).
TEST(TextPreviewer, LaysOutWithTheKindsFontOrRefuses) {
  const TextDictionary dictionary;
  SampleRomLayout placed;
  std::vector<uint8_t> image = MakeSampleRom(false, &placed);
  TempFile file;
  const std::unique_ptr<RomFile> rom = OpenImage(file, image);
  ASSERT_NE(rom, nullptr);
  const TextPreviewer previewer(*rom);

  struct Case {
    std::string text;
    TextWindowKind kind;
    size_t frames;
    bool fits;
  };
  const std::string longWord(40, 'W');
  for (const Case& c : {Case{"Hi[03][00]there[02]", TextWindowKind::Dialogue, 2, true},
                        Case{"Hi[03][00]there[02]", TextWindowKind::Battle, 2, true},
                        Case{longWord + "[02]", TextWindowKind::Dialogue, 1, false},
                        Case{"a " + longWord + "[03][00]b[02]", TextWindowKind::Battle, 2, false}}) {
    TextPreview preview;
    ASSERT_EQ(previewer.LayText(dictionary, c.text, c.kind, preview), PreviewRefusal::None) << c.text;
    EXPECT_EQ(preview.layout.kind, c.kind);
    EXPECT_EQ(preview.layout.frames.size(), c.frames) << c.text;
    int over = 0;
    for (const LayoutLine& line : preview.layout.lines) over += line.overflow || line.cut;
    EXPECT_EQ(preview.notFitting, over) << c.text;
    EXPECT_EQ(preview.notFitting == 0, c.fits) << c.text;
    // The check's value for the same layout: the first line that does not fit.
    const std::optional<LayoutFaultAt> fault = FindLayoutFault(preview.layout, true);
    EXPECT_EQ(fault.has_value(), !c.fits) << c.text;
    if (fault) {
      const LayoutLine& line = preview.layout.lines[static_cast<size_t>(fault->line - 1)];
      EXPECT_TRUE(line.cut || line.overflow) << c.text;
      EXPECT_EQ(fault->cut, line.cut) << c.text;
      EXPECT_EQ(DescribeLayoutFault(*fault), LayoutFault(preview.layout, true));
    }
  }

  // A string of the sample straight from the file lays out as its bytes do.
  const int64_t first = placed.stringStarts[0][0];
  TextPreview atOffset, fromImage;
  ASSERT_EQ(previewer.LayAt(dictionary, *rom, first, TextWindowKind::Dialogue, atOffset), PreviewRefusal::None);
  previewer.LayBytes(dictionary, std::span<const uint8_t>(image).subspan(static_cast<size_t>(first)),
                     TextWindowKind::Dialogue, fromImage);
  EXPECT_FALSE(atOffset.layout.frames.empty());
  EXPECT_EQ(atOffset.layout.size, fromImage.layout.size);
  EXPECT_EQ(atOffset.layout.lines.size(), fromImage.layout.lines.size());

  // The battle font's record claims no height: a battle window is refused, and what the output
  // held before is emptied; a dialogue window still lays out.
  image[static_cast<size_t>(text_window::kFontTableOffset + 2 * text_window::kFontRecordSize +
                            text_window::kFontHeightAt)] = 0;
  TempFile brokenFile;
  const std::unique_ptr<RomFile> broken = OpenImage(brokenFile, image);
  ASSERT_NE(broken, nullptr);
  const TextPreviewer brokenPreviewer(*broken);
  EXPECT_EQ(brokenPreviewer.RefusalFor(TextWindowKind::Battle), PreviewRefusal::FontUnreadable);
  EXPECT_EQ(brokenPreviewer.RefusalFor(TextWindowKind::Dialogue), PreviewRefusal::None);
  TextPreview refused;
  ASSERT_EQ(brokenPreviewer.LayText(dictionary, longWord, TextWindowKind::Dialogue, refused), PreviewRefusal::None);
  EXPECT_EQ(brokenPreviewer.LayText(dictionary, longWord, TextWindowKind::Battle, refused),
            PreviewRefusal::FontUnreadable);
  EXPECT_TRUE(refused.layout.lines.empty() && refused.layout.frames.empty());
  EXPECT_EQ(refused.notFitting, 0);
  EXPECT_EQ(brokenPreviewer.LayAt(dictionary, *broken, first, TextWindowKind::Battle, refused),
            PreviewRefusal::FontUnreadable);
  // With no ROM read, nothing can be laid out.
  EXPECT_EQ(TextPreviewer().RefusalFor(TextWindowKind::Dialogue), PreviewRefusal::FontUnreadable);
}

}  // namespace
}  // namespace lettermoor
