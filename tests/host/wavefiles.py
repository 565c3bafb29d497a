"""Builds RIFF WAVE files byte by byte for the wavehost tests: chunks, format chunks of every
size, cue points, adtl sub-chunks, play lists."""

import struct

PCM_SUFFIX = bytes.fromhex("000000001000800000aa00389b71")


def u16(v):
    return struct.pack("<H", v & 0xFFFF)


def u32(v):
    return struct.pack("<I", v & 0xFFFFFFFF)


def chunk(ident, body, size=None, pad=True):
    """A chunk with its header; odd contents get the RIFF pad byte unless pad is False."""
    assert len(ident) == 4
    size = len(body) if size is None else size
    data = ident.encode("latin-1") + u32(size) + body
    if pad and len(body) % 2:
        data += b"\0"
    return data


def riff(*chunks, riff_id="RIFF", form="WAVE"):
    body = b"".join(chunks)
    return riff_id.encode() + u32(len(body) + 4) + form.encode() + body


def fmt(channels=2, rate=8000, bits=16, tag=1, size=16, block=None, extra=b""):
    """A format chunk of 14, 16, 18 or more bytes (extra follows the extra-size field)."""
    block = channels * bits // 8 if block is None else block
    body = u16(tag) + u16(channels) + u32(rate) + u32(rate * block) + u16(block)
    if size >= 16:
        body += u16(bits)
    if size >= 18:
        body += u16(len(extra)) + extra
    assert len(body) <= size
    body += b"\0" * (size - len(body))
    return chunk("fmt ", body)


def fmt_extensible(channels=2, rate=8000, bits=24, subtag=1, suffix=PCM_SUFFIX, size=40,
                   extra_size=22):
    """A 0xFFFE format chunk: valid bits, channel mask and the sub-format GUID."""
    block = channels * bits // 8
    ext = u16(bits) + u32(0) + u16(subtag) + suffix
    body = (u16(0xFFFE) + u16(channels) + u32(rate) + u32(rate * block) + u16(block) +
            u16(bits) + u16(extra_size) + ext)
    body = body[:size] + b"\0" * max(0, size - len(body))
    return chunk("fmt ", body)


def data(samples):
    return chunk("data", samples)


def cue(points, ident="cue "):
    """points: (cueId, sampleOffset) pairs."""
    body = u32(len(points))
    for cue_id, offset in points:
        body += u32(cue_id) + u32(0) + b"data" + u32(0) + u32(0) + u32(offset)
    return chunk(ident, body)


def labl(cue_id, text, ident="labl"):
    return chunk(ident, u32(cue_id) + text + b"\0")


def note(cue_id, text):
    return labl(cue_id, text, "note")


def ltxt(cue_id, length, text=b""):
    return chunk("ltxt", u32(cue_id) + u32(length) + b"rgn " + b"\0" * 8 + text)


def adtl(*subchunks, ident="LIST", list_type=b"adtl"):
    return chunk(ident, list_type + b"".join(subchunks))


def plst(segments):
    """segments: (cueId, length, repeats) triples."""
    body = u32(len(segments))
    for cue_id, length, repeats in segments:
        body += u32(cue_id) + u32(length) + u32(repeats)
    return chunk("plst", body)


def info(ident, text):
    return chunk(ident, text + b"\0")


def frames16(count, channels=2):
    """Distinct 16-bit samples so that a misplaced byte shows."""
    return b"".join(u16(i * 257 + c * 4099) for i in range(count) for c in range(channels))


def chunks_of(wav):
    """(identifier, offset of contents, size) of each top-level chunk."""
    out = []
    pos = 12
    while pos + 8 <= len(wav):
        ident = wav[pos:pos + 4].decode("latin-1")
        size = struct.unpack("<I", wav[pos + 4:pos + 8])[0]
        out.append((ident, pos + 8, size))
        pos += 8 + size + (size & 1)
    return out
