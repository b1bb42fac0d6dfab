#!/usr/bin/env python3
"""make_ico.py OUTPUT.ico PICTURE.png...: one Windows icon file holding the square PNG pictures
as they are (the icon format takes PNG entries), in the order given."""
import struct
import sys


def png_size(data: bytes, name: str) -> int:
    if data[:8] != b"\x89PNG\r\n\x1a\n" or data[12:16] != b"IHDR":
        sys.exit(f"make_ico: {name} is not a PNG picture")
    width, height = struct.unpack(">II", data[16:24])
    if width != height or not 1 <= width <= 256:
        sys.exit(f"make_ico: {name} is {width}x{height}; an icon's pictures are square, 256 at most")
    return width


def main() -> None:
    if len(sys.argv) < 3:
        sys.exit(__doc__)
    pictures = []
    for name in sys.argv[2:]:
        with open(name, "rb") as file:
            data = file.read()
        pictures.append((png_size(data, name), data))
    header = struct.pack("<HHH", 0, 1, len(pictures))
    offset = 6 + 16 * len(pictures)
    entries = b""
    for size, data in pictures:
        # 0 stands for 256 in the one-byte sizes.
        entries += struct.pack("<BBBBHHII", size % 256, size % 256, 0, 0, 1, 32, len(data), offset)
        offset += len(data)
    with open(sys.argv[1], "wb") as file:
        file.write(header + entries + b"".join(data for _, data in pictures))


if __name__ == "__main__":
    main()
