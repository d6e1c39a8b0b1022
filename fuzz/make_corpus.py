#!/usr/bin/env python3
"""Writes the fuzzers' seed corpus (fuzz/corpus/<target>/) from our own synthetic bytes.

Each seed follows its target's input layout (see the target's source): a few header bytes
that choose offsets and options, then the bytes or text under test.
"""
import os
import re
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def _character_shift():
    """The game's character map shifts each character to its byte; read from the map's header so
    that the shift is written in one place."""
    with open(os.path.join(HERE, "..", "src", "codec", "character_map.h")) as header:
        return int(re.search(r"kFixedShift = (0x[0-9A-Fa-f]+);", header.read()).group(1), 16)


CHARACTER_SHIFT = _character_shift()


def script(text):
    """Script bytes of plain characters, through the character map."""
    return bytes((ord(c) + CHARACTER_SHIFT) & 0xFF for c in text)


HELLO = script("Hello") + bytes([0x03, 0x00, 0x02])


def decoder_seed(data, offset=0, options=0):
    return struct.pack("<IB", offset & 0xFFFFFFFF, options) + data


def encoder_seed(text, offset=0, slack=4, fill=0xEE):
    return bytes([offset, slack, fill]) + text.encode("latin-1")


def compressor_seed(words, text):
    """A word count, then each word's slot (two bytes), length and characters, then the text."""
    out = bytes([len(words)])
    for slot, word in words:
        out += bytes([slot >> 8, slot & 0xFF, len(word)]) + word.encode("latin-1")
    return out + text.encode("latin-1")


def table_seed(mode, size_index, fill, payload=b"", short=False):
    layout = 0 if short else 1 + 4 * size_index
    return bytes([mode, layout, fill]) + payload


def record(pointer, sprite, movement):
    """One 17-byte text pointer record."""
    return bytes(5) + struct.pack("<H", sprite) + bytes([0, movement]) + bytes(4) + struct.pack("<I", pointer)


SEEDS = {
    "fuzz_decoder": {
        "hello": decoder_seed(HELLO),
        "end_only": decoder_seed(b"\x02"),
        "dictionary_between_codes": decoder_seed(bytes([0x03, 0x15, 0x01, 0x02]), options=1),
        "dictionary_words": decoder_seed(bytes([0x16, 0xFF, 0x17, 0x10, 0x15, 0x00, 0x02])),
        "unlisted_subcode": decoder_seed(bytes([0x18, 0x07, 0x50, 0x02, 0x18, 0x05, 0x50, 0x02])),
        "bracket_characters": decoder_seed(bytes([0x8B, 0x60, 0x8D, 0x02])),
        "every_byte": decoder_seed(bytes(range(256)), offset=3),
        "past_the_end": decoder_seed(HELLO, offset=9),
        "negative_offset": decoder_seed(HELLO, offset=-16, options=0x60),
        "mirror_edge": decoder_seed(script("Across the mirror edge") + bytes([0x10, 0x05, 0x02]) * 4, options=0x1E),
    },
    "fuzz_encoder": {
        "hello": encoder_seed("Hello[03 00 02]"),
        "empty": encoder_seed(""),
        "empty_groups": encoder_seed("[]Hi[]"),
        "blanks": encoder_seed("[03  00][ 03 00 ]", offset=7),
        "digits": encoder_seed("[0a ff][0G][G1][1G][123][5][0x1F]"),
        "stray_brackets": encoder_seed("[[03] ]"),
        "open_at_end": encoder_seed("]x[", slack=0),
        "unbalanced": encoder_seed("a[02"),
        "braces_and_breaks": encoder_seed("{}line\r\nbreak\xd2"),
        "many_tokens": encoder_seed("[" + " ".join("%02X" % (i & 0xFF) for i in range(300)) + "]"),
    },
    "fuzz_compressor": {
        "words": compressor_seed([(1, "the"), (300, "wind"), (600, "cold")], "the wind turned cold[03 02]"),
        "arguments": compressor_seed([(1, "the"), (2, "Hel")], "[04]the[1C 05]the[18 07]the[0B]Hello[15]the"),
        "not_greedy": compressor_seed([(3, "abc"), (4, "bcdef")], "abcdefabcdef"),
        "short_and_bracket_words": compressor_seed([(5, "at"), (6, "x]y"), (7, "a{b")], "at x]y a{b[02]"),
        "typed_codes": compressor_seed([(8, "abc")], "\xe5abc\x7fabc{abc"),
    },
    "fuzz_table_builder": {
        "pointer_records": table_seed(0, 6, 0x00, record(0xC51B12, 0x1C8, 7) + record(0xC51B11, 1, 1)
                                      + record(0xFFFFFF, 2, 2) + record(0x1000000, 3, 3)),
        "pointer_short_image": table_seed(0, 0, 0x00, record(0xC51B12, 1, 1), short=True),
        "pointer_cut_record": table_seed(0, 3, 0x00, record(0xC60000, 5, 5) * 6),
        "raw_one_byte_strings": table_seed(1, 6, 0x02),
        "raw_text": table_seed(1, 2, 0x50, HELLO * 3),
        "raw_title_only": table_seed(1, 0, 0xFF),
        "expanded_blocks": table_seed(2, 9, 0x00, (bytes(255) + b"\x02") * 8),
        "expanded_cut": table_seed(2, 7, 0x02),
        "unknown_mode": table_seed(3, 6, 0x00),
    },
    "fuzz_dictionary": {
        "words": b"".join(script(w) + b"\x00" for w in ["the", "and", "you", "Lettermoor"]),
        "long_word": script("abcdefghijklmnopqrstuvwxyz0123") + b"\x00" + script("next") + b"\x00",
        "zero_character": script("ab") + b"\x30" + script("cd") + b"\x00" + script("ef") + b"\x00",
        "unterminated": script("runs off the end"),
        "empty_words": b"\x00" * 12,
    },
}


def main():
    for target, seeds in SEEDS.items():
        folder = os.path.join(HERE, "corpus", target)
        os.makedirs(folder, exist_ok=True)
        for name, data in seeds.items():
            with open(os.path.join(folder, name), "wb") as f:
                f.write(data)


if __name__ == "__main__":
    main()
