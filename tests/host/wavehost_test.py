"""Drives wave.dll through wavehost.exe under Wine, on files written by sox and ffmpeg and on
files built byte by byte, and reads the plug-in's own output back with sox, ffmpeg and
libsndfile.

    wavehost_test.py --wine-run cmake/wine-run --prefix DIR [--wine-arg ARG]...
                     --wavehost wavehost.exe --plugin wave.dll [unittest arguments]

Each --wine-arg goes to wine-run before the program (for instance --windows=win98).
"""

import argparse
import os
import re
import resource
import shutil
import signal
import struct
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # leave the source tree as it is
sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import wavefiles as wf  # noqa: E402

ARGS = None

# The independent programs the tests call; scripts/deps installs them all.
TOOLS = ("sox", "ffmpeg", "ffprobe", "sndfile-info", "i686-w64-mingw32-objdump")


def run(cmd, cwd, check=True):
    p = subprocess.run(cmd, cwd=cwd, capture_output=True)
    if check and p.returncode != 0:
        raise AssertionError("%s failed (%d): %s" % (cmd, p.returncode, p.stderr.decode()))
    return p


class HostCase(unittest.TestCase):
    """Each test works in a scratch folder of its own."""

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="wavehost-")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def path(self, name):
        return os.path.join(self.dir, name)

    def write(self, name, data):
        with open(self.path(name), "wb") as f:
            f.write(data)
        return name

    def read(self, name):
        with open(self.path(name), "rb") as f:
            return f.read()

    def host(self, *args, plugin=True, program=None, file_size_limit=None):
        """Runs wavehost (or a copy of it at program); returns (status, stdout lines, stderr
        text). Wine's console output ends lines with CRLF. With file_size_limit, no file the
        program writes can grow past that many bytes, as on a full disk."""
        cmd = [ARGS.wine_run, "--prefix=" + ARGS.prefix] + ARGS.wine_arg
        cmd += [program or ARGS.wavehost]
        if plugin:
            cmd += ["--plugin", ARGS.plugin]

        def limited():
            # A write past the limit then fails (EFBIG) instead of ending the program.
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)
            resource.setrlimit(resource.RLIMIT_FSIZE, (file_size_limit, file_size_limit))

        p = subprocess.run(cmd + list(args), cwd=self.dir, capture_output=True,
                           preexec_fn=limited if file_size_limit is not None else None)
        out = p.stdout.decode("latin-1").replace("\r\n", "\n")
        return p.returncode, out.splitlines(), p.stderr.decode("latin-1").replace("\r\n", "\n")

    def info(self, name, *opts):
        status, out, err = self.host(*opts, "info", name)
        self.assertEqual(status, 0, err)
        return out

    def info_each(self, names):
        """One wavehost for several files (a Wine start is costly where 32-bit code runs
        emulated): the status, each file's block of lines, and the error lines."""
        status, out, err = self.host("info", *names)
        blocks = "\n".join(out).split("\n\n")
        self.assertEqual(len(blocks), len(names), out)
        return status, [block.split("\n") for block in blocks], err.splitlines()

    def infos(self, names):
        status, blocks, err = self.info_each(names)
        self.assertEqual(status, 0, err)
        return dict(zip(names, blocks))

    def refusals(self, cases):
        """cases: (name, message) pairs; each file is refused with one line naming it."""
        status, blocks, err = self.info_each([name for name, _ in cases])
        self.assertEqual(status, 1, blocks)
        self.assertEqual(len(err), len(cases), err)
        for (name, message), block, line in zip(cases, blocks, err):
            self.assertIn(name + ":", line)
            self.assertIn(message, line)
        return dict(zip((name for name, _ in cases), blocks))

    def dump(self, name, *opts):
        status, _, err = self.host(*opts, "dump", name, name + ".raw")
        self.assertEqual(status, 0, err)
        return self.read(name + ".raw")

    def sox_raw(self, name):
        """The samples sox decodes, 8-bit ones as signed, as the plug-in delivers them."""
        run(["sox", name, "-t", "raw", "-e", "signed-integer", name + ".sox.raw"], self.dir)
        return self.read(name + ".sox.raw")

    def assertItems(self, lines, **items):
        for key, value in items.items():
            key = key.replace("_", " ")
            self.assertIn("%s: %s" % (key, value), lines)


def fields(lines):
    return dict(line.split(": ", 1) for line in lines if ": " in line)


class BoundaryTest(HostCase):
    def test_exports_names_and_constant_values(self):
        status, out, err = self.host("plugin")
        self.assertEqual(status, 0, err)
        self.assertEqual(out, [
            "type: FileFilter", "type length: 11", "format name result: 0",
            "format name: RIFF Wave", "extension: wav", "capabilities result: 1",
            "capabilities: 1 0 1 0 0 1 1 1 1 1 0 1 1 0", "capability value: 1",
            "query read: 2", "query write: 2"])

    def test_library_imports_system_dlls_and_exports_by_name(self):
        dump = run(["i686-w64-mingw32-objdump", "-p", ARGS.plugin], self.dir).stdout.decode()
        imports = set(re.findall(r"DLL Name: (\S+)", dump))
        self.assertLessEqual({i.lower() for i in imports}, {"kernel32.dll", "msvcrt.dll"})
        table = dump[dump.index("[Ordinal/Name Pointer] Table"):].split("\n\n")[0]
        names = dict((name, int(index) + 2) for index, name in
                     re.findall(r"\[\s*(\d+)\] (\w+)", table))
        self.assertEqual(names, {"QueryPluginType": 2, "ReturnPluginObject": 3,
                                 "DeletePluginObject": 4})

    def test_plugin_next_to_the_program_is_found(self):
        beside = os.path.join(os.path.dirname(ARGS.wavehost), "wave.dll")
        self.assertTrue(os.path.exists(beside), "the build puts wave.dll next to wavehost.exe")
        status, out, err = self.host("plugin", plugin=False)
        self.assertEqual(status, 0, err)
        self.assertIn("type: FileFilter", out)

    def test_failures_exit_non_zero_with_one_line(self):
        self.write("text.wav", b"this is not a sound file at all\n")
        self.write("tiny.wav", b"RIF")
        cases = [
            (("--plugin", "Z:\\no\\such\\wave.dll", "plugin"), 3, "cannot load plug-in"),
            (("info", "missing.wav"), 1, "cannot open missing.wav"),
            (("info", "text.wav"), 1, "text.wav: not a RIFF WAVE file"),
            (("info", "tiny.wav"), 1, "tiny.wav: not a RIFF WAVE file"),
            (("copy", "missing.wav", "out.wav"), 1, "cannot open missing.wav"),
            (("copy", "text.wav", "./TEXT.wav"), 2, "two different files"),
            (("info",), 2, "usage"),
            (("frobnicate", "x"), 2, "usage"),
            (("--buffer", "0", "info", "x.wav"), 2, "usage"),
        ]
        for args, code, message in cases:
            with self.subTest(args=args):
                status, _, err = self.host(*args, plugin=args[0] != "--plugin")
                self.assertEqual(status, code, err)
                self.assertEqual(len(err.splitlines()), 1, err)
                self.assertIn(message, err)
        self.assertFalse(os.path.exists(self.path("out.wav")))
        self.assertEqual(self.read("text.wav"), b"this is not a sound file at all\n")

    def test_path_of_260_characters_is_refused(self):
        # The host hands over the full path: Z:, the scratch folder, sub-folders, the name. The
        # two sub-folders bring the folder's path to 230 characters.
        room = 230 - len("Z:" + self.dir) - 3
        self.assertGreater(room, 1, "scratch folder %s too deep for these paths" % self.dir)
        folder = os.path.join(self.dir, "d" * (room // 2), "e" * (room - room // 2))
        os.makedirs(folder)
        base = "Z:" + folder.replace("/", "\\") + "\\"
        self.assertEqual(len(base), 230)
        for total, opens in [(259, True), (260, False), (300, False)]:
            with self.subTest(length=total):
                name = "n" * (total - len(base) - 4) + ".wav"
                rel = os.path.join(folder, name)[len(self.dir) + 1:]
                self.write(rel, wf.riff(wf.fmt(), wf.data(wf.frames16(2))))
                status, out, err = self.host("info", base + name)
                if opens:
                    self.assertEqual(status, 0, err)
                    self.assertIn("file path: " + base + name, out)
                else:
                    self.assertEqual(status, 1, err)
                    self.assertIn("cannot open", err)

    def test_help(self):
        status, out, _ = self.host("--help", plugin=False)
        self.assertEqual(status, 0)
        self.assertTrue(out[0].startswith("usage: wavehost"))


class PeerFilesTest(HostCase):
    """Files that sox and ffmpeg write: properties, texts and the exact samples."""

    def sox_file(self, name, bits, channels, frames=37, encoding="signed-integer"):
        run(["sox", "-n", "-r", "8000", "-e", encoding, "-b", str(bits), "-c", str(channels),
             name, "synth", "%ds" % frames, "sine", "300-3000", "sine", "440"], self.dir)
        return name

    def ffmpeg_file(self, name, codec, channels, *extra):
        run(["ffmpeg", "-v", "error", "-f", "lavfi", "-i",
             "sine=f=523:r=11025:d=0.005", "-ac", str(channels), "-c:a", codec] +
            list(extra) + [name], self.dir)
        return name

    def format_tag(self, name):
        return struct.unpack("<H", self.read(name)[20:22])[0]

    def check_pcm(self, name, lines, rate, channels, bits):
        raw = self.sox_raw(name)
        frames = len(raw) // (channels * bits // 8)
        self.assertGreater(frames, 0)
        self.assertItems(lines, format="PCM", container="RIFF Wave", float=0,
                         sample_rate=rate, channels=channels, bits_per_sample=bits,
                         frames=frames, frames_read=frames)
        self.assertEqual(self.dump(name), raw)
        return lines

    def test_sox_pcm_widths_and_channels(self):
        cases = {self.sox_file("s%d_%d.wav" % (bits, channels), bits, channels,
                               encoding="unsigned-integer" if bits == 8 else "signed-integer"):
                 (bits, channels)
                 for bits, channels in [(8, 1), (16, 2), (24, 1), (24, 2), (32, 2), (16, 6),
                                        (32, 6)]}
        infos = self.infos(list(cases))
        for name, (bits, channels) in cases.items():
            with self.subTest(bits=bits, channels=channels):
                extensible = bits > 16 or channels > 2
                self.assertEqual(self.format_tag(name), 0xFFFE if extensible else 1)
                self.check_pcm(name, infos[name], 8000, channels, bits)

    def test_ffmpeg_pcm_with_info_texts(self):
        meta = ["-metadata", "title=Morning Take", "-metadata", "artist=The Band",
                "-metadata", "copyright=(c) 2026 Someone", "-metadata", "comment=two mics"]
        cases = {self.ffmpeg_file("f_%s_%d.wav" % (codec, channels), codec, channels, *meta):
                 (bits, channels)
                 for codec, bits, channels in [("pcm_u8", 8, 2), ("pcm_s16le", 16, 1),
                                               ("pcm_s24le", 24, 2), ("pcm_s32le", 32, 6)]}
        infos = self.infos(list(cases))
        for name, (bits, channels) in cases.items():
            with self.subTest(name=name):
                if bits > 16 or channels > 2:
                    self.assertEqual(self.format_tag(name), 0xFFFE)
                lines = self.check_pcm(name, infos[name], 11025, channels, bits)
                self.assertItems(lines, title="Morning Take", artist="The Band",
                                 copyright="(c) 2026 Someone", comment="two mics")

    def test_float_files_are_refused(self):
        names = [self.sox_file("sf.wav", 32, 2, encoding="floating-point"),
                 self.ffmpeg_file("ff.wav", "pcm_f32le", 1)]
        message = 'not a PCM WAVE file (format "IEEE Floating Point", float 1)'
        for name, out in self.refusals([(name, message) for name in names]).items():
            with self.subTest(name=name):
                self.assertItems(out, format="IEEE Floating Point", float=1)


def rich_file(samples=None):
    """Cue points, labels, notes, regions and a play list, with odd-sized chunks, a chunk
    after the data and every identifier spelled as peers spell it."""
    samples = wf.frames16(40) if samples is None else samples
    return wf.riff(
        wf.fmt(2, 8000, 16),
        wf.chunk("odd ", b"abc"),
        wf.cue([(10, 100), (20, 500), (30, 900)]),
        wf.adtl(
            wf.ltxt(20, 1000, b"reg"),
            wf.labl(10, b"first"),
            wf.labl(20, b"region"),
            wf.labl(30, b"x"),
            wf.labl(30, b"third"),
            wf.labl(99, b"ghost"),
            wf.note(10, b"note one"),
            wf.ltxt(30, 1),
        ),
        wf.data(samples),
        wf.adtl(wf.info("INAM", b"Title here"), wf.info("ICMT", b"A comment"),
                list_type=b"INFO"),
        wf.info("IART", b"Artist"),
        wf.plst([(30, 1, 1), (10, 1, 1)]),
    )


RICH_MARKERS = [
    "markers: 3",
    'marker 0: type=5 start=100 end=0 point=1 label="first" note="note one"',
    'marker 1: type=3 start=500 end=1499 point=0 label="region" note=""',
    'marker 2: type=5 start=900 end=0 point=1 label="third" note=""',
    "playlist entries: 2",
    "playlist 0: marker=2",
    "playlist 1: marker=0",
]


def expected_rich_copy():
    """What the writer makes of rich_file() as the host holds it after the hand-over:
    markers of types 5, 3, 5 at 100, 500-1499 and 900, two play-list entries."""
    def sub(ident, cue_id, body):
        return wf.chunk(ident, wf.u32(cue_id) + body, pad=False)

    ltxt = b"".join(sub("ltxt", i + 1, wf.u32(length) + b"\0" * 12)
                    for i, length in enumerate([0 - 100 + 1, 1000, 0 - 900 + 1]))
    labl = sub("labl", 1, b"first\0") + sub("labl", 2, b"region\0\0") + sub("labl", 3, b"third\0")
    note = sub("note", 1, b"note one\0\0") + sub("note", 2, b"\0\0") + sub("note", 3, b"\0\0")
    cue = wf.u32(3) + b"".join(wf.u32(i + 1) + wf.u32(0) + b"data" + wf.u32(0) * 2 +
                               wf.u32(offset) for i, offset in enumerate([100, 500, 900]))
    plst = (wf.u32(2) + wf.u32(3) + wf.u32(0 - 900 + 1) + wf.u32(1) + wf.u32(1) +
            wf.u32(0 - 100 + 1) + wf.u32(1))
    return wf.riff(
        wf.chunk("fmt ", struct.pack("<HHIIHHH", 1, 2, 8000, 32000, 4, 16, 0)),
        wf.chunk("INAM", b"Title here\0\0"),
        wf.chunk("IART", b"Artist\0\0"),
        wf.chunk("ICMT", b"A comment\0"),
        wf.chunk("cue ", cue),
        wf.chunk("LIST", b"adtl" + ltxt + labl + note),
        wf.chunk("plst", plst),
        wf.data(wf.frames16(40)))


def text_limits_file():
    return wf.riff(
        wf.fmt(1, 8000, 16),
        wf.chunk("INAM", b"T" * 259 + b"\0"),  # 260 bytes: taken
        wf.chunk("IART", b"A" * 260 + b"\0"),  # 261 bytes: skipped
        wf.chunk("ICOP", b"C" * 260),  # no NUL inside: cut to 259 characters
        wf.chunk("ICMT", b"M" * 400 + b"\0"),  # the comment buffer holds 520
        wf.cue([(1, 0)]),
        wf.adtl(wf.labl(1, b"L" * 200), wf.note(1, b"N" * 127)),
        wf.data(wf.frames16(1, 1)))


class HandBuiltTest(HostCase):
    def test_markers_regions_and_play_list_reach_the_host(self):
        name = self.write("rich.wav", rich_file())
        lines = self.info(name)
        self.assertEqual(lines[-len(RICH_MARKERS):], RICH_MARKERS)
        data_at = next(off for ident, off, _ in wf.chunks_of(rich_file()) if ident == "data")
        self.assertItems(lines, file_name="rich.wav", frames=40, frames_read=40,
                         data_offset=data_at,
                         title="Title here", artist="Artist", comment="A comment")
        self.assertNotIn("copyright", fields(lines))
        self.assertEqual(self.dump(name), wf.frames16(40))
        self.assertEqual(self.read(name), rich_file())  # reading changes no byte

    def test_chunks_are_left_at_their_declared_end_and_a_later_cue_chunk_counts(self):
        samples = wf.frames16(100, 1)

        def point(cue_id, offset):
            return wf.u32(cue_id) + wf.u32(0) + b"data" + wf.u32(0) + wf.u32(0) + wf.u32(offset)

        # Room for one cue point or segment more than the count; lists whose walk stops short.
        files = {
            "cue_spare.wav": wf.chunk("cue ", wf.u32(1) + point(1, 5) + point(2, 150)),
            "cue_none.wav": wf.chunk("cue ", wf.u32(0) + point(2, 150)),
            "plst_spare.wav": wf.cue([(1, 5)]) + wf.chunk(
                "plst", wf.u32(1) + wf.u32(1) + wf.u32(9) + wf.u32(1) + b"data" + wf.u32(0) * 2),
            "list_empty.wav": b"LIST" + wf.u32(0),
            "list_spare.wav": wf.chunk("LIST", b"INFO" + wf.info("INAM", b"t") + b"da"),
            "list_odd.wav": wf.chunk("LIST", b"INFOx"),
        }
        for name, chunks in files.items():
            self.write(name, wf.riff(wf.fmt(1, 8000, 16), chunks, wf.data(samples)))
        infos = self.infos(list(files))
        for name in files:
            with self.subTest(name=name):
                self.assertItems(infos[name], frames=100, frames_read=100)
                self.assertEqual(self.dump(name), samples)
                self.assertEqual(self.sox_raw(name), samples)
        self.assertIn("title: t", infos["list_spare.wav"])

        # A later cue chunk replaces an earlier one; labels listed before it reach its points.
        name = self.write("two_cues.wav", wf.riff(
            wf.fmt(1, 8000, 16), wf.cue([(1, 5)]), wf.adtl(wf.labl(2, b"two"), wf.labl(3, b"3")),
            wf.cue([(2, 7), (3, 9)]), wf.data(samples)))
        self.assertEqual(self.info(name)[-4:], [
            "markers: 2", 'marker 0: type=2 start=7 end=0 point=1 label="two" note=""',
            'marker 1: type=2 start=9 end=0 point=1 label="3" note=""', "playlist entries: 0"])

    def test_hand_over_without_reading_a_frame(self):
        # A buffer smaller than a frame reads nothing; the hand-over still takes place.
        name = self.write("rich.wav", rich_file())
        lines = self.info(name, "--buffer", "3")
        self.assertIn("frames read: 0", lines)
        self.assertEqual(lines[-len(RICH_MARKERS):], RICH_MARKERS)

    def test_first_match_for_texts_last_match_for_segments(self):
        wav = wf.riff(
            wf.fmt(1, 8000, 16),
            wf.cue([(5, 10), (5, 20), (6, 30)]),
            wf.adtl(wf.labl(5, b"dup"), wf.ltxt(5, 100), wf.note(6, b"six")),
            wf.plst([(5, 1, 1), (77, 1, 1), (6, 1, 1)]),
            wf.data(wf.frames16(2, 1)))
        lines = self.info(self.write("dup.wav", wav))
        self.assertEqual(lines[-8:], [
            "markers: 3",
            # every cue with the segment's id is marked used; the last one is the entry's
            'marker 0: type=5 start=10 end=109 point=0 label="dup" note=""',
            'marker 1: type=5 start=20 end=0 point=1 label="" note=""',
            'marker 2: type=5 start=30 end=0 point=1 label="" note="six"',
            "playlist entries: 3",
            "playlist 0: marker=1",
            "playlist 1: marker=none",
            "playlist 2: marker=2"])

    def test_play_list_without_cues_is_not_handed_over(self):
        wav = wf.riff(wf.fmt(1, 8000, 16), wf.plst([(1, 1, 1)]), wf.data(wf.frames16(2, 1)))
        lines = self.info(self.write("plonly.wav", wav))
        self.assertEqual(lines[-3:], ["markers: 0", "playlist entries: 1",
                                      "playlist 0: marker=none"])

    def test_plain_marker_region_end_and_lists_in_any_case(self):
        wav = wf.riff(
            wf.fmt(1, 8000, 16),
            wf.cue([(1, 7), (2, 3000)], ident="CUE "),
            wf.adtl(wf.ltxt(2, 0), wf.labl(1, b"a"), ident="list", list_type=b"ADTL"),
            wf.chunk("DATA", wf.frames16(5, 1)),
            riff_id="riff", form="wave")
        lines = self.info(self.write("mixed.wav", wav))
        self.assertIn('marker 0: type=2 start=7 end=0 point=1 label="a" note=""', lines)
        # ltxt of length 0 ends before its start: a plain marker, end left as the host had it
        self.assertIn('marker 1: type=2 start=3000 end=0 point=1 label="" note=""', lines)
        self.assertItems(lines, frames=5, playlist_entries=0)

    def test_format_chunk_sizes(self):
        frames = wf.frames16(4)
        cases = [
            ("fmt14.wav", wf.fmt(2, 8000, 16, size=14), 16, 4),
            # no block alignment: 8-bit samples, delivered signed
            ("fmt14_noalign.wav", wf.fmt(2, 8000, 16, size=14, block=0), 8, 8),
            ("fmt18.wav", wf.fmt(2, 8000, 16, size=18), 16, 4),
            ("fmt20.wav", wf.fmt(2, 8000, 16, size=20, extra=b"zz"), 16, 4),
            ("fmt_odd.wav", wf.fmt(2, 8000, 16, size=21, extra=b"zz"), 16, 4),
            ("ext16.wav", wf.fmt_extensible(2, 8000, 16), 16, 4),
        ]
        for name, fmt, _, _ in cases:
            self.write(name, wf.riff(fmt, wf.chunk("junk", b"12345"), wf.data(frames)))
        infos = self.infos([name for name, _, _, _ in cases])
        for name, fmt, bits, count in cases:
            with self.subTest(name=name):
                self.assertItems(infos[name], format="PCM", bits_per_sample=bits, channels=2,
                                 frames=count, frames_read=count,
                                 data_offset=12 + len(fmt) + 14 + 8)
                self.assertEqual(self.dump(name),
                                 frames if bits == 16 else bytes(b ^ 0x80 for b in frames))

    def test_refused_formats(self):
        frames = wf.data(wf.frames16(4))
        cases = [
            ("guid.wav", wf.fmt_extensible(subtag=0x55), "Unknown"),
            ("suffix.wav", wf.fmt_extensible(suffix=wf.PCM_SUFFIX[:-1] + b"\x72"), "Unknown"),
            ("size39.wav", wf.fmt_extensible(size=39, extra_size=21), "Unknown"),
            ("extra21.wav", wf.fmt_extensible(extra_size=21), "Unknown"),
            ("extfloat.wav", wf.fmt_extensible(bits=32, subtag=3), "IEEE Floating Point"),
            ("tag85.wav", wf.fmt(tag=85), "Unknown"),
            ("adpcm.wav", wf.fmt(tag=2), "MS ADPCM Compressed"),
            ("mulaw.wav", wf.fmt(tag=7), "Mu Law Compressed"),
        ]
        for name, fmt, _ in cases:
            self.write(name, wf.riff(fmt, frames))
        outs = self.refusals([(name, 'format "%s"' % format_name)
                              for name, _, format_name in cases])
        for name, _, format_name in cases:
            with self.subTest(name=name):
                self.assertItems(outs[name], format=format_name,
                                 float=1 if format_name.startswith("IEEE") else 0)

    def test_unusable_pcm_is_refused(self):
        frames = wf.data(wf.frames16(4))
        cases = [
            ("nochan.wav", wf.riff(wf.fmt(channels=0, block=4), frames)),
            ("bits12.wav", wf.riff(wf.fmt(bits=12, block=4), frames)),
            ("bits0.wav", wf.riff(wf.fmt(bits=0, block=4), frames)),
            ("nodata.wav", wf.riff(wf.fmt())),
            ("nofmt.wav", wf.riff(frames)),
            ("short_fmt.wav", wf.riff(wf.chunk("fmt ", b"\1\0\2\0"), frames)),
        ]
        self.refusals([(self.write(name, wav), "not a") for name, wav in cases])

    def test_eight_bit_samples_arrive_signed(self):
        wav = wf.riff(wf.fmt(1, 8000, 8), wf.data(b"\x80\xff\x00"))
        name = self.write("u8.wav", wav)
        self.assertEqual(self.dump(name), b"\x00\x7f\x80")
        self.assertEqual(self.sox_raw(name), b"\x00\x7f\x80")

    def test_text_limits(self):
        lines = self.info(self.write("texts.wav", text_limits_file()))
        f = fields(lines)
        self.assertEqual(f["title"], "T" * 259)
        self.assertNotIn("artist", f)
        self.assertEqual(f["copyright"], "C" * 259)
        self.assertEqual(f["comment"], "M" * 400)
        self.assertIn('marker 0: type=2 start=0 end=0 point=1 label="%s" note="%s"'
                      % ("L" * 127, "N" * 127), lines)

    def test_counts_bigger_than_the_file_end_cleanly(self):
        # Declared counts far past the end: the points and segments that are there arrive.
        point = wf.u32(5) + wf.u32(0) + b"data" + wf.u32(0) * 2 + wf.u32(44)
        wav = wf.riff(wf.fmt(1, 8000, 16), wf.data(wf.frames16(3, 1)), wf.plst([(5, 1, 1)]),
                      wf.chunk("cue ", wf.u32(0x7FFFFFFF) + point))
        lines = self.info(self.write("bigcue.wav", wav))
        self.assertIn("frames read: 3", lines)
        self.assertIn('marker 0: type=5 start=44 end=0 point=1 label="" note=""', lines)
        self.assertIn("playlist 0: marker=0", lines)
        wav = wf.riff(wf.fmt(1, 8000, 16), wf.data(wf.frames16(3, 1)), wf.cue([(5, 2)]),
                      wf.chunk("plst", wf.u32(0x7FFFFFFF) + wf.u32(5) + wf.u32(1) * 2))
        lines = self.info(self.write("bigplst.wav", wav))
        self.assertIn('marker 0: type=5 start=2 end=0 point=1 label="" note=""', lines)
        self.assertIn("playlist 0: marker=0", lines)

    def test_truncation_at_every_byte(self):
        whole = rich_file(wf.frames16(6))
        data_at = next(off for ident, off, _ in wf.chunks_of(whole) if ident == "data")
        names = [self.write("t%03d.wav" % n, whole[:n]) for n in range(len(whole) + 1)]
        status, out, err = self.host("info", *names)
        self.assertIn(status, (0, 1), err)
        blocks = "\n".join(out).split("\n\n")
        self.assertEqual(len(blocks), len(names))
        for n, block in enumerate(blocks):
            f = fields(block.split("\n"))
            if n >= data_at:
                self.assertEqual(f.get("frames read"), str(min(6, (n - data_at) // 4)), n)
            else:
                self.assertNotIn("frames read", f, n)


class SeekTest(HostCase):
    def test_seek_after_reading_to_the_end(self):
        samples = wf.frames16(50)
        name = self.write("seek.wav", wf.riff(wf.fmt(2, 8000, 16), wf.data(samples),
                                              wf.chunk("tail", b"after the data")))
        for frame, expected in [(0, samples), (13, samples[13 * 4:]), (49, samples[-4:]),
                                (50, b""), (60, b"")]:
            with self.subTest(frame=frame):
                self.assertEqual(self.dump(name, "--seek", str(frame)), expected)
        status, _, err = self.host("--seek", "-1", "dump", name, "neg.raw")
        self.assertEqual(status, 1)
        self.assertIn("cannot seek to frame -1", err)

    def test_odd_buffer_sizes(self):
        samples = wf.frames16(50)
        name = self.write("buf.wav", wf.riff(wf.fmt(2, 8000, 16), wf.data(samples)))
        # wavehost fails when a byte past the last whole frame of its buffer changes
        for size in ["4", "7", "4097", "1000000"]:
            with self.subTest(size=size):
                self.assertEqual(self.dump(name, "--buffer", size), samples)


class CopyTest(HostCase):
    def copy(self, src, dst):
        status, _, err = self.host("copy", src, dst)
        self.assertEqual(status, 0, err)
        return self.read(dst)

    def peers_agree(self, src, dst, channels, bits):
        """sox, ffmpeg and libsndfile read dst with the properties and samples of src."""
        raw = self.sox_raw(src)
        self.assertEqual(self.sox_raw(dst), raw)
        frames = len(raw) // (channels * bits // 8)
        probe = run(["ffprobe", "-v", "error", "-show_entries",
                     "stream=codec_name,channels,duration_ts", "-of", "default=nw=1", dst],
                    self.dir).stdout.decode()
        self.assertIn("channels=%d" % channels, probe)
        self.assertIn("duration_ts=%d" % frames, probe)
        self.assertIn("codec_name=pcm_%s" % ("u8" if bits == 8 else "s%dle" % bits), probe)
        codec = {8: "u8", 16: "s16le", 24: "s24le", 32: "s32le"}[bits]
        ff = run(["ffmpeg", "-v", "error", "-i", dst, "-f", codec, "-"], self.dir).stdout
        if bits == 8:
            ff = bytes(b ^ 0x80 for b in ff)
        self.assertEqual(ff, raw)
        info = run(["sndfile-info", dst], self.dir).stdout.decode()
        self.assertRegex(info, r"Frames\s*:\s*%d\n" % frames)
        self.assertRegex(info, r"Channels\s*:\s*%d\n" % channels)
        self.assertNotRegex(info.lower(), r"error|should|bad ")

    def test_copy_keeps_texts_markers_regions_and_play_list(self):
        src = self.write("rich.wav", rich_file())
        out = self.copy(src, "copy.wav")
        original = [line for line in self.info(src) if not line.startswith(("file ", "data offset"))]
        copied = [line for line in self.info("copy.wav") if not line.startswith(("file ", "data offset"))]
        self.assertEqual(copied, original)
        self.peers_agree(src, "copy.wav", 2, 16)
        # The layout the writer gives such a file
        chunks = [c[0] for c in wf.chunks_of(out)]
        self.assertEqual(chunks, ["fmt ", "INAM", "IART", "ICMT", "cue ", "LIST", "plst",
                                  "data"])
        self.assertEqual(out, expected_rich_copy())

    def test_texts_at_their_limits_read_back(self):
        src = self.write("texts.wav", text_limits_file())
        self.copy(src, "texts_copy.wav")
        original = [line for line in self.info(src) if not line.startswith(("file ", "data offset"))]
        copied = [line for line in self.info("texts_copy.wav") if not line.startswith(("file ", "data offset"))]
        self.assertEqual(copied[-5:], original[-5:])
        self.assertEqual(fields(copied)["title"], "T" * 259)
        self.assertEqual(fields(copied)["copyright"], "C" * 259)
        self.assertEqual(fields(copied)["comment"], "M" * 400)

    def test_entry_without_marker_is_left_out_of_the_copy(self):
        wav = wf.riff(wf.fmt(1, 8000, 16), wf.cue([(1, 4), (2, 8)]),
                      wf.plst([(2, 1, 1), (9, 1, 1), (1, 1, 1)]), wf.data(wf.frames16(3, 1)))
        src = self.write("nullentry.wav", wav)
        self.assertIn("playlist 1: marker=none", self.info(src))
        out = self.copy(src, "nullentry_copy.wav")
        plst_at = next(off for ident, off, _ in wf.chunks_of(out) if ident == "plst")
        self.assertEqual(struct.unpack("<I", out[plst_at - 4:plst_at])[0], 4 + 2 * 12)
        self.assertEqual(struct.unpack("<7I", out[plst_at:plst_at + 28]),
                         (2, 2, 0xFFFFFFF9, 1, 1, 0xFFFFFFFD, 1))
        self.assertEqual(self.info("nullentry_copy.wav")[-3:],
                         ["playlist entries: 2", "playlist 0: marker=1", "playlist 1: marker=0"])

    def test_calls_follow_the_reading_and_writing_orders(self):
        src = self.write("order.wav", wf.riff(wf.fmt(1, 8000, 16), wf.cue([(1, 2)]),
                                              wf.data(wf.frames16(5, 1))))
        status, _, err = self.host("--trace", "--buffer", "6", "copy", src, "order_copy.wav")
        self.assertEqual(status, 0, err)
        calls = [re.sub(r"[ (].*", "", line.split(" ", 1)[1]) for line in err.splitlines()]
        self.assertEqual(calls, [
            "ReturnPluginObject", "GetCapabilities", "QueryRead", "OpenFile", "BeginRead",
            "attaches", "ReadSamples",  # the first read hands the marker over
            "ReturnPluginObject", "GetCapabilities", "QueryWrite", "OpenFile", "attaches",
            "WriteHeader", "WriteSamples", "ReadSamples", "WriteSamples", "ReadSamples",
            "CloseFile", "DeletePluginObject", "CloseFile", "DeletePluginObject"])
        self.assertIn("call ReadSamples(6) -> 3", err)
        self.assertIn("call ReadSamples(6) -> 2", err)
        self.assertIn("host attaches 1 markers, 0 play-list entries", err)

    def test_plain_file_has_the_short_header(self):
        src = self.write("plain.wav", wf.riff(wf.fmt(2, 44100, 16), wf.data(wf.frames16(9))))
        out = self.copy(src, "plain_copy.wav")
        self.assertEqual(len(out), 46 + 36)
        self.assertEqual(out[:46], b"RIFF" + wf.u32(74) + b"WAVEfmt " + wf.u32(18) +
                         struct.pack("<HHIIHHH", 1, 2, 44100, 176400, 4, 16, 0) + b"data" +
                         wf.u32(36))

    def test_peer_files_copy_to_tag_1_files_peers_read(self):
        cases = [(8, 1, "u8"), (16, 2, "s16le"), (24, 2, "s24le"), (32, 6, "s32le"),
                 (24, 1, "s24le")]
        for bits, channels, _ in cases:
            with self.subTest(bits=bits, channels=channels):
                src = "p%d_%d.wav" % (bits, channels)
                run(["sox", "-n", "-r", "22050", "-b", str(bits), "-c", str(channels), src,
                     "synth", "31s", "sine", "100-5000"], self.dir)
                if bits > 16 or channels > 2:  # sox writes these with the extensible chunk
                    self.assertEqual(struct.unpack("<IH", self.read(src)[16:22]), (40, 0xFFFE))
                out = self.copy(src, "c" + src)
                self.assertEqual(struct.unpack("<IH", out[16:22]), (18, 1))
                self.peers_agree(src, "c" + src, channels, bits)

    def test_copy_refuses_a_buffer_smaller_than_a_frame(self):
        src = self.write("six.wav", wf.riff(wf.fmt(2, 8000, 24), wf.data(b"\1" * 60)))
        status, _, err = self.host("--buffer", "5", "copy", src, "six_copy.wav")
        self.assertEqual(status, 2, err)
        self.assertIn("--buffer 5 is smaller than one frame of six.wav (6 bytes)", err)
        self.assertFalse(os.path.exists(self.path("six_copy.wav")))
        self.assertEqual(self.copy_with("--buffer", "6", src, "six_copy.wav")[-60:], b"\1" * 60)

    def copy_with(self, *args):
        status, _, err = self.host(*args[:-2], "copy", *args[-2:])
        self.assertEqual(status, 0, err)
        return self.read(args[-1])

    def test_markers_listed_before_their_cues_and_rf64_files(self):
        # Labels, notes and a region listed before the cue chunk, as broadcast recorders write
        # them, reach the host as they do when the cues come first.
        texts = wf.adtl(wf.labl(1, b"first"), wf.note(1, b"note one"), wf.ltxt(2, 1000),
                        wf.labl(2, b"region"), wf.labl(3, b""))
        cues = wf.cue([(1, 100), (2, 500), (3, 900)])
        samples = wf.frames16(4)
        before = self.info(self.write("before.wav", wf.riff(
            wf.chunk("bext", b"\0" * 602), wf.fmt(2, 8000, 16), texts, cues, wf.data(samples))))
        after = self.info(self.write("after.wav", wf.riff(
            wf.fmt(2, 8000, 16), cues, texts, wf.data(samples))))
        markers = [
            "markers: 3",
            'marker 0: type=2 start=100 end=0 point=1 label="first" note="note one"',
            'marker 1: type=3 start=500 end=1499 point=0 label="region" note=""',
            'marker 2: type=2 start=900 end=0 point=1 label="" note=""',
            "playlist entries: 0"]
        self.assertEqual(before[-5:], markers)
        self.assertEqual(after[-5:], markers)
        # The same file as RF64, with its data size in the ds64 chunk.
        body = wf.fmt(2, 8000, 16) + texts + cues + b"data" + wf.u32(0xFFFFFFFF) + samples
        ds64 = wf.chunk("ds64", struct.pack("<QQQI", len(body) + 40, len(samples), 4, 0))
        long_form = self.info(self.write("before64.wav", b"RF64" + wf.u32(0xFFFFFFFF) + b"WAVE" +
                                         ds64 + body))
        self.assertEqual(long_form[-5:], markers)
        self.assertIn("frames read: 4", long_form)
        # The same recording in ffmpeg's RF64 form, and the plug-in's copy of it.
        run(["ffmpeg", "-v", "error", "-i", "after.wav", "-c:a", "pcm_s16le", "-rf64", "always",
             "-y", "rf64.wav"], self.dir)
        self.assertEqual(self.read("rf64.wav")[:4], b"RF64")
        rf64 = fields(self.info("rf64.wav"))
        self.assertEqual((rf64["container"], rf64["frames"], rf64["frames read"]),
                         ("RIFF Wave", "4", "4"))
        self.assertEqual(self.dump("rf64.wav"), samples)
        self.assertEqual(self.copy("rf64.wav", "rf64_copy.wav")[:4], b"RIFF")
        self.peers_agree("rf64.wav", "rf64_copy.wav", 2, 16)

    def test_copy_never_writes_over_its_source_and_replaces_out_only_when_done(self):
        wav = wf.riff(wf.fmt(1, 8000, 16), wf.data(wf.frames16(10, 1)))
        src = self.write("src.wav", wav)
        os.link(self.path("src.wav"), self.path("hard.wav"))
        os.symlink(self.dir, self.path("alias"))
        for out in ("hard.wav", "alias/src.wav"):
            with self.subTest(out=out):
                status, _, err = self.host("copy", src, out)
                self.assertEqual(status, 2, err)
                self.assertIn("two different files", err)
                self.assertEqual(self.read("src.wav"), wav)
        # OUT is replaced once the copy is whole; what cannot be replaced stays as it was, and
        # no half-written file is left behind.
        self.write("old.wav", b"old contents")
        self.copy(src, "old.wav")
        self.assertEqual(self.sox_raw("old.wav"), wf.frames16(10, 1))
        os.mkdir(self.path("folder.wav"))
        status, _, err = self.host("copy", src, "folder.wav")
        self.assertEqual(status, 1, err)
        self.assertIn("cannot write folder.wav", err)
        self.assertEqual(sorted(n for n in os.listdir(self.dir) if not n.endswith(".raw")),
                         ["alias", "folder.wav", "hard.wav", "old.wav", "src.wav"])

    def test_every_frame_of_a_recording_longer_than_the_hosts_field_is_read(self):
        # 16-bit mono RF64 of 2^31 + 999 frames, sparse. What the Windows version changes does
        # not matter here, so the variant prefixes leave this long read out.
        if any(arg.startswith("--windows") for arg in ARGS.wine_arg):
            self.skipTest("the default prefix covers it")
        frames = 2 ** 31 + 999
        data_bytes = frames * 2
        body = wf.fmt(1, 8000, 16) + b"data" + wf.u32(0xFFFFFFFF)
        ds64 = wf.chunk("ds64", struct.pack("<QQQI", len(body) + 40 + data_bytes, data_bytes,
                                            frames, 0))
        with open(self.path("long.wav"), "wb") as f:
            f.write(b"RF64" + wf.u32(0xFFFFFFFF) + b"WAVE" + ds64 + body)
            f.seek(data_bytes - 4, os.SEEK_CUR)
            f.write(b"\1\2\3\4")
        lines = self.info("long.wav", "--buffer", str(1 << 26))
        self.assertItems(lines, frames=frames, frames_read=frames)

    def test_copy_onto_a_full_disk_fails_at_the_header_and_leaves_out_as_it_was(self):
        wav = wf.riff(wf.fmt(1, 8000, 16), wf.data(wf.frames16(10, 1)))
        src = self.write("src.wav", wav)
        self.write("old.wav", b"old contents")
        # Wine's server runs before the limit is set, so that only the program meets it.
        self.info(src)
        status, _, err = self.host("copy", src, "old.wav", file_size_limit=32)
        self.assertEqual(status, 1, err)
        self.assertIn("old.wav: WriteHeader failed", err)
        self.assertEqual(self.read("old.wav"), b"old contents")
        self.assertEqual(sorted(os.listdir(self.dir)), ["old.wav", "src.wav"])

    def test_copy_of_a_short_file_is_completed_with_silence(self):
        whole = wf.riff(wf.fmt(1, 8000, 16), wf.data(wf.frames16(10, 1)))
        src = self.write("short.wav", whole[:-5])
        status, _, err = self.host("copy", src, "short_copy.wav")
        self.assertEqual(status, 0, err)
        self.assertIn("delivered 7 of 10 frames", err)
        out = self.read("short_copy.wav")
        self.assertEqual(out[46:], wf.frames16(7, 1) + b"\0" * 6)
        self.assertEqual(struct.unpack("<I", out[4:8])[0], len(out) - 8)


class DoubleByteTest(HostCase):
    """Under the double-byte code page the run asked for (TEST_CODE_PAGE): a file name and a
    folder whose characters have a trail byte 0x5C, and texts cut to their fields."""

    # The file's name, and a character whose trail byte is 0x5C.
    SAMPLES = {"932": ("\u30bd\u30f3\u30b0.wav", "\u8868"),  # katakana so-n-gu, kanji table
               "950": ("\u8a31\u529f.wav", "\u529f")}

    def setUp(self):
        super().setUp()
        self.code_page = os.environ.get("TEST_CODE_PAGE", "")
        self.codec = "cp" + self.code_page

    def texts(self, lines):
        """The items as the code page's bytes (host() reads them as Latin-1)."""
        return {k: v.encode("latin-1") for k, v in fields(lines).items()}

    def test_double_byte_file_name_and_texts_cut_on_whole_characters(self):
        if self.code_page not in self.SAMPLES:
            return  # a single-byte run: the runs under 932 and 950 try this
        file_name, char = self.SAMPLES[self.code_page]
        wide = char.encode(self.codec)
        self.assertEqual(wide[1:], b"\\")
        # A 260-byte title without NUL, a 70-character label and note.
        wav = wf.riff(wf.fmt(1, 8000, 16), wf.chunk("INAM", wide * 130), wf.cue([(1, 0)]),
                      wf.adtl(wf.labl(1, wide * 70), wf.note(1, b"x" + wide * 70)),
                      wf.data(wf.frames16(1, 1)))
        self.write(file_name, wav)
        expected = b'type=2 start=0 end=0 point=1 label="%s" note="x%s"' % (wide * 63, wide * 63)
        items = self.texts(self.info(file_name))
        # Where the run did not get its code page, the name cannot even be passed.
        self.assertEqual(items["file name"], file_name.encode(self.codec))
        self.assertEqual(items["title"], wide * 129)
        self.assertEqual(items["marker 0"], expected)
        # A copy into a folder named by that character keeps them.
        os.mkdir(self.path(char))
        status, _, err = self.host("copy", file_name, os.path.join(char, "copy.wav"))
        self.assertEqual(status, 0, err)
        items = self.texts(self.info(os.path.join(char, "copy.wav")))
        self.assertEqual(items["title"], wide * 129)
        self.assertEqual(items["marker 0"], expected)

    def test_double_byte_folders_longer_than_max_path_bytes(self):
        if self.code_page not in self.SAMPLES:
            return  # a single-byte run: the runs under 932 and 950 try this
        _, char = self.SAMPLES[self.code_page]
        # The program in folders of 130 double-byte characters, 260 bytes (two of 65: Linux
        # takes 255 bytes of UTF-8 a name): it finds the plug-in next to itself.
        inner = os.path.join(char * 65, char * 65)
        home = self.path(inner)
        os.makedirs(home)
        shutil.copy(ARGS.wavehost, os.path.join(home, "wavehost.exe"))
        shutil.copy(ARGS.plugin, os.path.join(home, "wave.dll"))
        status, out, err = self.host("plugin", plugin=False,
                                     program=os.path.join(home, "wavehost.exe"))
        self.assertEqual(status, 0, err)
        # A copy into such a folder, whose path the plug-in does not take: refused, and no
        # file is left behind.
        src = self.write("src.wav", wf.riff(wf.fmt(1, 8000, 16), wf.data(wf.frames16(2, 1))))
        status, _, err = self.host("copy", src, os.path.join(inner, "out.wav"))
        self.assertEqual(status, 1, err)
        self.assertIn("cannot create", err)
        self.assertEqual(sorted(os.listdir(home)), ["wave.dll", "wavehost.exe"])


def main():
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--wine-run", required=True)
    parser.add_argument("--prefix", required=True)
    parser.add_argument("--wavehost", required=True)
    parser.add_argument("--plugin", required=True)
    parser.add_argument("--wine-arg", action="append", default=[])
    ARGS, rest = parser.parse_known_args()
    for name in ("wine_run", "prefix", "wavehost", "plugin"):
        setattr(ARGS, name, os.path.abspath(getattr(ARGS, name)))
    missing = [tool for tool in TOOLS if not shutil.which(tool)]
    if missing:
        sys.exit("wavehost_test.py: not installed: %s (scripts/deps installs them)"
                 % ", ".join(missing))
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)


if __name__ == "__main__":
    main()
