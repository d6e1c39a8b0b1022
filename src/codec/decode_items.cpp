#include "codec/decode_items.h"

namespace lettermoor {

const TextDictionary kNoWords;

}  // namespace lettermoor
