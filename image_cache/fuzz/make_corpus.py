#!/usr/bin/env python3
"""Writes the seed corpora of the image fuzzers (small hand-built pictures)."""
import os
import struct

here = os.path.dirname(os.path.abspath(__file__))


def tiff(orientation, little):
    e = '<' if little else '>'
    head = (b'II' if little else b'MM') + struct.pack(e + 'HI', 42, 8)
    entries = [(256, 3, 1, 2), (257, 3, 1, 1), (258, 3, 1, 8), (259, 3, 1, 1), (262, 3, 1, 1),
               (273, 4, 1, 8 + 2 + 8 * 12 + 4), (274, 3, 1, orientation), (279, 4, 1, 2)]
    ifd = struct.pack(e + 'H', len(entries))
    for tag, kind, count, value in entries:
        packed = struct.pack(e + 'H', value) + b'\0\0' if kind == 3 else struct.pack(e + 'I', value)
        ifd += struct.pack(e + 'HHI', tag, kind, count) + packed
    return head + ifd + struct.pack(e + 'I', 0) + b'\x10\xf0'


def exif_jpeg(orientation):
    body = b'Exif\0\0' + tiff(orientation, False)
    return b'\xff\xd8\xff\xe1' + struct.pack('>H', len(body) + 2) + body + b'\xff\xd9'


gif_1x1 = bytes.fromhex('47494638396101000100800000ffffff00000021f90401000000002c00000000010001000002024401003b')
gif_2frames = bytes.fromhex(
    '474946383961020002008000000000ffffff21ff0b4e45545343415045322e300301030000'
    '21f904090a0001002c000000000200020000020284510021f904050f0000002c0000000002000200400202845100003b')

png_1x1 = bytes.fromhex(
    '89504e470d0a1a0a0000000d4948445200000001000000010806000000'
    '1f15c4890000000d49444154789c63f8cfc0f01f0005000201a5f3d2c30000000049454e44ae426082')

def png_header(width, height):
    # The signature and an IHDR chunk (8-bit grey) declaring the size, then an IDAT that stops
    # after two bytes: a picture cut right after its header.
    import zlib
    ihdr = struct.pack('>IIBBBBB', width, height, 8, 0, 0, 0, 0)
    chunk = lambda kind, data: struct.pack('>I', len(data)) + kind + data + struct.pack('>I', zlib.crc32(kind + data))
    return b'\x89PNG\r\n\x1a\n' + chunk(b'IHDR', ihdr) + struct.pack('>I', 1 << 20) + b'IDAT\x78\x9c'


def jpeg_header(width, height):
    # SOI, then a baseline frame header declaring the size with one grey component, and nothing
    # after it.
    sof = struct.pack('>BHHB', 8, height, width, 1) + bytes([1, 0x11, 0])
    return b'\xff\xd8\xff\xc0' + struct.pack('>H', len(sof) + 2) + sof


seeds = {
    'detection': {'gif': gif_1x1, 'tiff_be': tiff(6, False), 'tiff_le': tiff(8, True),
                  'jpeg_exif': exif_jpeg(3), 'webp': b'RIFF\0\0\0\0WEBPVP8 ', 'heic': b'\0\0\0\x18ftypheic',
                  # Declared sizes past the decoders' pixel budget, and just within it.
                  'png_16384x16384_cut': png_header(16384, 16384), 'png_3960x3960_cut': png_header(3960, 3960),
                  'jpeg_65500x65500_cut': jpeg_header(65500, 65500)},
    'gif': {'one_frame': gif_1x1, 'two_frames': gif_2frames},
    # The first byte picks the chunk size.
    'incremental': {'png_1x1': b'\x05' + png_1x1, 'jpeg_exif': b'\x02' + exif_jpeg(6),
                    'png_16384x16384_cut': b'\x07' + png_header(16384, 16384),
                    'png_3960x3960_cut': b'\x07' + png_header(3960, 3960)},
}
for folder, files in seeds.items():
    path = os.path.join(here, 'corpus', folder)
    os.makedirs(path, exist_ok=True)
    for name, data in files.items():
        with open(os.path.join(path, name), 'wb') as f:
            f.write(data)
