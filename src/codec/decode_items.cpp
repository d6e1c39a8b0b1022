#include "codec/decode_items.h"

#include "codec/byte_class.h"
#include "codec/control_code_table.h"

namespace lettermoor::decode_detail {

namespace {

CodeRoles MakeRoles() {
  CodeRoles roles;
  for (int code = 0x18; code <= 0x1F; ++code) {
    for (int sub = 0; sub < 256; ++sub) {
      const ControlCodeEntry* entry = LookupControlCode(static_cast<uint8_t>(code), static_cast<uint8_t>(sub));
      roles.subCoded[code - 0x18][sub] = SubCodeRole{entry ? entry->argumentCount : uint8_t{0}, entry != nullptr};
    }
  }
  for (int value = 0; value < 256; ++value) {
    const auto b = static_cast<uint8_t>(value);
    ByteRole& role = roles.of[value];
    switch (ClassifyByte(b)) {
      case ByteClass::Printable: role.kind = ByteRole::Character; break;
      case ByteClass::DictionaryReference: role.kind = ByteRole::DictionaryWord; break;
      case ByteClass::ControlCode:
        if (HasSubCode(b)) {
          role.kind = ByteRole::SubCodedCode;
        } else {
          const ControlCodeEntry* entry = LookupControlCode(b, 0);
          role.kind = ByteRole::Code;
          role.argumentCount = entry ? entry->argumentCount : 0;
          role.described = entry != nullptr;
        }
        break;
    }
  }
  return roles;
}

}  // namespace

const CodeRoles kCodeRoles = MakeRoles();

}  // namespace lettermoor::decode_detail
