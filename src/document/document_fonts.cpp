// The document's fonts: read from the file and written back glyph by glyph.

#include "codec/font_sheet.h"
#include "document/document.h"

namespace lettermoor {

RomFonts Document::Fonts() {
  const RomFile* rom = Synced();
  return rom ? ReadRomFonts(*rom) : RomFonts();
}

FontWriteOutcome Document::WriteFont(text_window::FontId id, const RomFont& edited) {
  FontWriteOutcome outcome;
  RomFile* rom = Synced();
  if (!rom) {
    outcome.unreadable = true;
    return outcome;
  }
  // Under the lock from reading the font to the write, so that the bytes compared are the ones
  // the write replaces, whatever another program did meanwhile.
  const RomFile::Hold hold(*rom);
  rom->Refresh();
  const RomFont now = ReadRomFonts(*rom).Of(id);
  if (!now.readable || now.widthOffset != edited.widthOffset || now.glyphOffset != edited.glyphOffset ||
      now.glyphs.size() != edited.glyphs.size()) {
    // The font table changed under us, or was never readable: nothing to write over.
    outcome.unreadable = true;
    return outcome;
  }
  const ChangeSet change = FontChanges(now, edited);
  for (const ByteChange& range : change.ranges) outcome.changedBytes += static_cast<int>(range.bytes.size());
  if (change.ranges.empty()) return outcome;
  RomFile::Labeled label(*rom, ChangeLabel{ChangeKind::Font});
  outcome.written = rom->Apply(change);
  return outcome;
}

}  // namespace lettermoor
