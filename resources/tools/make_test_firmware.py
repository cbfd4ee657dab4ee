#!/usr/bin/env python3
"""Writes a test firmware image ("qv") for trying the firmware update against
the simulated unit (QV450_SIMULATOR=boot). It is not firmware: its blocks hold
a known byte pattern. No real firmware image is part of this project.

The layout is the one the editor checks before an update: a 128-byte header,
then each section's 512-byte head followed by its data. The reply types match
the simulated boot loader's defaults: packet 02 is answered with type 03,
blocks of type 04 with 05 and blocks of type 06 with 07.

    make_test_firmware.py OUT.qv [--blocks N] [--second-blocks M]
"""
import argparse
import struct

HEADER = 128
HEAD = 512
BLOCK = 512


def section_byte(section, offset):
    # The same pattern as the test library's generator.
    return (offset * 7 + (offset >> 9) * 13 + section * 101 + 1) & 0xFF


def make_image(sections, wait_limit=10000, announce_type=0x03, announce_value=0x12345678):
    """sections: list of (length, block type, ack type, first block number)."""
    size = HEADER + sum(HEAD + length for length, *_ in sections)
    image = bytearray(size)
    struct.pack_into("<I", image, 32, wait_limit)
    image[42] = announce_type
    image[47] = len(sections)
    struct.pack_into("<I", image, 48, announce_value)
    head = HEADER
    for i, (length, block_type, ack_type, first) in enumerate(sections):
        data = head + HEAD
        following = data + length
        struct.pack_into("<i", image, head + 9, 0 if i == 0 else data + 1)
        struct.pack_into("<I", image, head + 13, following if i + 1 < len(sections) else 0)
        struct.pack_into("<i", image, head + 17, length)
        image[head + 21] = block_type
        image[head + 22] = ack_type
        struct.pack_into("<H", image, head + 27, first)
        image[data:following] = bytes(section_byte(i, k) for k in range(length))
        head = following
    return bytes(image)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("out")
    parser.add_argument("--blocks", type=int, default=256, help="blocks of the first section (default 256)")
    parser.add_argument("--second-blocks", type=int, default=0, help="blocks of a second section (default none)")
    args = parser.parse_args()
    if args.blocks < 1 or args.second_blocks < 0 or args.blocks + args.second_blocks > 65536:
        parser.error("the first section needs 1 to 65536 blocks in all")
    sections = [(args.blocks * BLOCK, 0x04, 0x05, 0)]
    if args.second_blocks:
        sections.append((args.second_blocks * BLOCK, 0x06, 0x07, 0x0100))
    with open(args.out, "wb") as f:
        f.write(make_image(sections))


if __name__ == "__main__":
    main()
