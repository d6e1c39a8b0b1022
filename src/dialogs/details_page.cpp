#include "dialogs/details_page.h"

#include <cstdarg>
#include <cstdio>

#include "entries/text_entry.h"
#include "rom/header_checksum.h"
#include "rom/rom_image.h"
#include "rom/snes_address.h"

namespace lettermoor {

namespace {

// printf-style append with no length limit: a long file name is shown whole.
[[gnu::format(printf, 2, 3)]] void AppendFormat(std::string& out, const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list again;
  va_copy(again, args);
  const int length = std::vsnprintf(nullptr, 0, format, args);
  va_end(args);
  if (length > 0) {
    const size_t at = out.size();
    out.resize(at + static_cast<size_t>(length) + 1);
    std::vsnprintf(out.data() + at, static_cast<size_t>(length) + 1, format, again);
    out.resize(at + static_cast<size_t>(length));
  }
  va_end(again);
}

const TextEntry* EntryOf(const DetailsRequest& request) {
  if (!request.table || !request.table->Contains(request.row)) return nullptr;
  return &request.table->entries[static_cast<size_t>(request.row)];
}

void ShowMiscInfo(const DetailsRequest& request, DetailsPage& page) {
  const TextEntry* entry = EntryOf(request);
  if (!entry) return;
  using namespace details_text;

  std::string attributes;
  AppendFormat(attributes, kLine, request.row + 1, request.table->count());
  AppendFormat(attributes, kHexAddress,
               static_cast<unsigned>(SnesToFileOffset(entry->textAddress)));
  AppendFormat(attributes, kSnesAddress, static_cast<unsigned>(entry->textAddress));
  AppendFormat(attributes, kSize, request.size);
  page.texts[kAttributesText] = std::move(attributes);

  std::string pointer = kPointerTableHeading;
  if (entry->location != 0) {
    AppendFormat(pointer, kLocation, static_cast<unsigned>(entry->location));
    AppendFormat(pointer, kSprite, entry->sprite);
    AppendFormat(pointer, kMovement, entry->movement);
  } else {
    pointer += kIndeterminate;
  }
  page.texts[kPointerTableText] = std::move(pointer);

  for (int child :
       {kToolBoxPicture, kAttributesText, kRulePicture, kScreenPicture, kPointerTableText}) {
    page.visible[child] = true;
  }
}

void ShowInterpreter(const DetailsRequest& request, DetailsPage& page) {
  page.texts[kPageEditBox] = request.interpreterText ? *request.interpreterText : std::string();
  page.visible[kPageEditBox] = true;
}

void ShowRawData(const DetailsRequest& request, DetailsPage& page) {
  const TextEntry* entry = EntryOf(request);
  if (!entry || !request.rom) return;
  std::string bytes;
  if (request.size > 0) {
    const int64_t start = SnesToFileOffset(entry->textAddress);
    bytes.reserve(static_cast<size_t>(request.size) * 3);
    for (int64_t i = 0; i < request.size; ++i) {
      AppendFormat(bytes, details_text::kRawByte, request.rom->ReadByte(start + i));
    }
  }
  page.texts[kPageEditBox] = std::move(bytes);
  page.visible[kPageEditBox] = true;
}

void ShowRomInfo(const DetailsRequest& request, DetailsPage& page) {
  if (!request.rom) return;
  using namespace details_text;
  std::string info = kRomInfoHeading;
  AppendFormat(info, kFileName, request.fileName.c_str());
  AppendFormat(info, kRomType, RomTypeName(DetectRomType(*request.rom)));
  AppendFormat(info, kFileSize, static_cast<long>(RomFileSize(*request.rom)));
  // The size above is the headed layout's, as every offset is; say how the file really is.
  if (request.rom->IsHeaderless()) info += kHeaderless;
  // Briefly, to fit the page; `info` and `checksum` of the command-line tool say each half.
  const HeaderChecksum sum = ReadHeaderChecksum(*request.rom);
  if (sum.state == ChecksumState::NotComputed) {
    info += kChecksumNotComputed;
  } else {
    AppendFormat(info, sum.state == ChecksumState::Right ? kChecksumRight : kChecksumWrong, sum.computed);
  }
  page.texts[kRomInfoText] = std::move(info);
  page.visible[kFigurePicture] = true;
  page.visible[kRomInfoText] = true;
}

}  // namespace

std::string DescribeHeaderChecksum(const HeaderChecksum& sum) {
  if (sum.state == ChecksumState::NotComputed) return "not computed for a ROM of this size";
  const auto part = [](std::string& out, uint16_t held, bool right, uint16_t should) {
    AppendFormat(out, "$%04X (", held);
    if (right) {
      out += "right)";
    } else {
      AppendFormat(out, "wrong, should be $%04X)", should);
    }
  };
  std::string out;
  part(out, sum.checksum, sum.ChecksumRight(), sum.computed);
  out += ", complement ";
  part(out, sum.complement, sum.ComplementRight(), static_cast<uint16_t>(sum.computed ^ 0xFFFF));
  return out;
}

DetailsPage ShowDetailsPage(const DetailsRequest& request, int tabIndex) {
  DetailsPage page;
  switch (tabIndex) {
    case 0: ShowMiscInfo(request, page); break;
    case 1: ShowInterpreter(request, page); break;
    case 2: ShowRawData(request, page); break;
    case 3: ShowRomInfo(request, page); break;
    default: break;
  }
  return page;
}

std::optional<DetailsRequest> MakeDetailsRequest(const RomFile& rom, const std::string& fileName,
                                                 const TextEntryTable& table, int row,
                                                 int32_t size, const std::string& interpreterText) {
  if (!table.Contains(row)) return std::nullopt;
  DetailsRequest request;
  request.rom = &rom;
  request.fileName = fileName;
  request.row = row;
  request.size = size;
  request.table = &table;
  request.interpreterText = &interpreterText;
  return request;
}

}  // namespace lettermoor
