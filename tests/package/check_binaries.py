#!/usr/bin/env python3
"""Checks that Windows binaries load on Windows 95 and later and run on an i486 or later.

    check_binaries.py [--no-tls NAME]... [--objdump PROGRAM [--symbols DIR]...]
                      FILE.zip|FILE.exe|FILE.dll...

Every .exe and .dll (inside a zip or given directly) must:
  - be a 32-bit x86 PE image asking for Windows 4.0 (operating system and subsystem version);
  - carry no link time stamp (file header and export directory), so builds are reproducible;
  - import only DLLs with a list in win95-exports/, and from each only names on that list,
    imported by name (an ordinal cannot be checked and differs between Windows versions);
  - when named with --no-tls, have no TLS callbacks (code the loader runs in a host's process
    on every thread start);
  - with --objdump, hold no instruction that a 486 lacks in any executable section: the
    disassembly of the very file is read. A released binary carries no symbols; the unstripped
    one of the same name in a DIR names the functions (stripping moves no code) and tells the
    tables that the linker puts among the code (exception tables, constructor lists) apart
    from it.
Each refusal is printed as "binary: DLL!function ..." or "binary: function: instructions"
and the exit status is 1.
"""
import bisect
import collections
import os
import re
import struct
import subprocess
import sys
import tempfile
import zipfile

LISTS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "win95-exports")


def load_allowed():
    allowed = {}
    for name in sorted(os.listdir(LISTS)):
        if name.endswith(".txt"):
            with open(os.path.join(LISTS, name), encoding="ascii") as f:
                allowed[name[:-4] + ".dll"] = {line.strip() for line in f if line.strip()}
    return allowed


class Pe:
    """The parts of a PE32 image this check reads."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise ValueError("no MZ header")
        pe = struct.unpack_from("<I", data, 0x3C)[0]
        if data[pe:pe + 4] != b"PE\0\0":
            raise ValueError("no PE signature")
        (self.machine, sections, self.timestamp, _, _, optional_size,
         _) = struct.unpack_from("<HHIIIHH", data, pe + 4)
        opt = pe + 24
        if struct.unpack_from("<H", data, opt)[0] != 0x10B:
            raise ValueError("not a 32-bit (PE32) image")
        self.image_base = struct.unpack_from("<I", data, opt + 28)[0]
        self.os_version = struct.unpack_from("<HH", data, opt + 40)
        self.subsystem_version = struct.unpack_from("<HH", data, opt + 48)
        count = struct.unpack_from("<I", data, opt + 92)[0]
        self.directories = [struct.unpack_from("<II", data, opt + 96 + 8 * i)
                            for i in range(min(count, 16))]
        self.sections = []
        table = opt + optional_size
        for i in range(sections):
            vsize, va, rsize, raw = struct.unpack_from("<IIII", data, table + 40 * i + 8)
            self.sections.append((va, max(vsize, rsize), raw, rsize))

    def offset(self, rva):
        for va, size, raw, rsize in self.sections:
            if va <= rva < va + size:
                if rva - va >= rsize:
                    raise ValueError("address 0x%x has no file data" % rva)
                return raw + rva - va
        raise ValueError("address 0x%x is in no section" % rva)

    def u32(self, rva):
        return struct.unpack_from("<I", self.data, self.offset(rva))[0]

    def cstring(self, rva):
        start = self.offset(rva)
        return self.data[start:self.data.index(b"\0", start)].decode("latin-1")

    def directory(self, index):
        return self.directories[index] if index < len(self.directories) else (0, 0)

    def imports(self):
        """(DLL, name or None, ordinal or None) for every imported function."""
        rva, size = self.directory(1)
        result = []
        if not size:
            return result
        while True:
            lookup, _, _, name, thunks = struct.unpack_from("<IIIII", self.data, self.offset(rva))
            if not (lookup or name or thunks):
                return result
            dll = self.cstring(name)
            entry = lookup or thunks
            while True:
                value = self.u32(entry)
                if not value:
                    break
                if value & 0x80000000:
                    result.append((dll, None, value & 0xFFFF))
                else:
                    result.append((dll, self.cstring(value + 2), None))
                entry += 4
            rva += 20

    def export_timestamp(self):
        rva, size = self.directory(0)
        return self.u32(rva + 4) if size else 0

    def tls_callbacks(self):
        rva, size = self.directory(9)
        if not size:
            return []
        table = self.u32(rva + 12)
        callbacks = []
        while table:
            callback = self.u32(table - self.image_base)
            if not callback:
                break
            callbacks.append(callback)
            table += 4
        return callbacks


# Instructions the i486 does not have: those of the Pentium (cmpxchg8b, rdtsc, rdmsr), of the
# Pentium Pro (cmov, fcmov, fcomi, fucomi, the long nop 0f 1f, sysenter) and of every later
# extension (MMX, 3DNow!, SSE and AVX registers and instructions, ...). cpuid stays allowed:
# late 486s have it, and code asks whether the processor has it before running it.
BEYOND_486 = re.compile(
    r"^(cmov|fcmov|f[u]?comip?$|cmpxchg8b|cmpxchg16b|rdtsc|rdpmc|rdmsr|wrmsr|rdrand|rdseed|"
    r"sysenter|sysexit|syscall|sysret|nop[lwq]|fxsave|fxrstor|xsave|xrstor|xgetbv|emms|femms|"
    r"prefetch|[lsm]fence|clflush|movnt|popcnt|lzcnt|tzcnt|movbe|crc32|fisttp|ldmxcsr|stmxcsr|"
    r"ud1)")
WIDE_REGISTER = re.compile(r"%[xyz]?mm\d")
# Functions allowed to hold such instructions because they run them only after asking the
# processor whether it has them, with the reason.
RANDOM_DEVICE = ("libstdc++'s std::random_device calls it only where cpuid (itself asked for "
                 "only where the flags register says the processor has it) reports the "
                 "instruction")
GUARDED = {
    "__ZNSt12_GLOBAL__N_112__x86_rdrandEPv": RANDOM_DEVICE,
    "__ZNSt12_GLOBAL__N_112__x86_rdseedEPv": RANDOM_DEVICE,
    "__ZNSt12_GLOBAL__N_119__x86_rdseed_rdrandEPv": RANDOM_DEVICE,
}
# Tables, not code, that the linker places in the code section.
DATA_IN_CODE = {".gcc_except_table", "___CTOR_LIST__", "___DTOR_LIST__", "__CTOR_LIST__",
                "__DTOR_LIST__"}


def beyond_486(mnemonic, operands):
    return bool(BEYOND_486.match(mnemonic)) or bool(WIDE_REGISTER.search(operands))


def objdump_lines(objdump, *args):
    return subprocess.run([objdump] + list(args), capture_output=True, text=True,
                          check=True).stdout.splitlines()


def symbols(objdump, path):
    """(address, name) of the symbols in the sections of an unstripped image, sorted by
    address; where several share an address, a function's comes last."""
    # Symbol values are offsets into their section (numbered from 1).
    sections = [int(m.group(1), 16) for m in
                (re.match(r"\s*\d+ \S+\s+[0-9a-f]+\s+([0-9a-f]+)", line)
                 for line in objdump_lines(objdump, "-h", path)) if m]
    result = []
    for line in objdump_lines(objdump, "-t", path):
        # [  4](sec  1)(fl 0x00)(ty   20)(scl   2) (nx 0) 0x00001234 _name
        m = re.match(r"\[\s*\d+\]\(sec\s+(\d+)\)\(fl [^)]*\)\(ty\s+(\w+)\).* 0x([0-9a-f]+) (\S+)$",
                     line)
        if m and 0 < int(m.group(1)) <= len(sections):
            address = sections[int(m.group(1)) - 1] + int(m.group(3), 16)
            result.append((address, m.group(2) == "20", m.group(4)))
    return [(address, name) for address, _, name in sorted(result)]


def disassembly(objdump, path):
    """(address, mnemonic, operands) of every instruction in the executable sections."""
    for line in objdump_lines(objdump, "-d", "--no-show-raw-insn", path):
        m = re.match(r"\s*([0-9a-f]+):\s+(\S+)\s*(.*)$", line)
        if m:
            yield int(m.group(1), 16), m.group(2), m.group(3)


def instructions_beyond_486(name, data, objdump, symbol_dirs):
    """Problems: each function (or address) that holds an instruction a 486 lacks."""
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, os.path.basename(name))
        with open(path, "wb") as f:
            f.write(data)
        found = [(address, mnemonic) for address, mnemonic, operands in
                 disassembly(objdump, path) if beyond_486(mnemonic, operands)]
    if not found:
        return []
    names = []
    for folder in symbol_dirs:
        unstripped = os.path.join(folder, os.path.basename(name))
        if os.path.isfile(unstripped):
            names = symbols(objdump, unstripped)
            break
    starts = [address for address, _ in names]
    by_function = collections.OrderedDict()
    for address, mnemonic in found:
        i = bisect.bisect_right(starts, address) - 1
        function = names[i][1] if i >= 0 else "at 0x%x" % address
        if function in DATA_IN_CODE:
            continue
        by_function.setdefault(function, collections.Counter())[mnemonic] += 1
    problems = []
    for function, mnemonics in by_function.items():
        if function in GUARDED:
            print("%s: %s: %s, allowed: %s" % (name, function, ", ".join(sorted(mnemonics)),
                                               GUARDED[function]))
            continue
        problems.append("%s: %s: not an i486 instruction" % (function, ", ".join(
            "%s x%d" % item for item in sorted(mnemonics.items()))))
    if problems:
        problems.append("%d function(s) with instructions a 486 lacks" % len(problems))
    return problems


def check(name, data, allowed, no_tls):
    problems = []
    try:
        pe = Pe(data)
        if pe.machine != 0x14C:
            problems.append("not an x86 image (machine 0x%x)" % pe.machine)
        for what, version in (("operating system", pe.os_version),
                              ("subsystem", pe.subsystem_version)):
            if version != (4, 0):
                problems.append("asks for %s version %d.%d, not 4.0" % ((what,) + version))
        if pe.timestamp:
            problems.append("link time stamp 0x%08x in the file header" % pe.timestamp)
        if pe.export_timestamp():
            problems.append("time stamp 0x%08x in the export directory" % pe.export_timestamp())
        for dll, function, ordinal in pe.imports():
            names = allowed.get(dll.lower())
            if names is None:
                problems.append("%s: a DLL Windows 95 does not have (or not allowed)" % dll)
            elif function is None:
                problems.append("%s!#%d: imported by ordinal" % (dll, ordinal))
            elif function not in names:
                problems.append("%s!%s: not exported by the Windows 95 %s" %
                                (dll, function, dll.lower()))
        if os.path.basename(name).lower() in no_tls and pe.tls_callbacks():
            problems.append("%d TLS callback(s): the loader runs them in the host's process"
                            % len(pe.tls_callbacks()))
    except (ValueError, struct.error) as e:
        problems.append("unreadable PE image: %s" % e)
    return problems


def binaries(path):
    if path.lower().endswith(".zip"):
        with zipfile.ZipFile(path) as z:
            for info in z.infolist():
                if info.filename.lower().endswith((".exe", ".dll")):
                    yield info.filename, z.read(info)
    else:
        with open(path, "rb") as f:
            yield path, f.read()


def main(argv):
    no_tls = set()
    objdump = None
    symbol_dirs = []
    paths = []
    args = iter(argv)
    for arg in args:
        if arg == "--no-tls":
            no_tls.add(next(args).lower())
        elif arg == "--objdump":
            objdump = next(args)
        elif arg == "--symbols":
            symbol_dirs.append(next(args))
        else:
            paths.append(arg)
    if not paths:
        sys.stderr.write(__doc__)
        return 2
    allowed = load_allowed()
    failed = False
    checked = 0
    for path in paths:
        for name, data in binaries(path):
            checked += 1
            problems = check(name, data, allowed, no_tls)
            if objdump:
                problems += instructions_beyond_486(name, data, objdump, symbol_dirs)
            for problem in problems:
                print("%s: %s" % (name, problem))
            if not problems:
                imports = {}
                for dll, function, _ in Pe(data).imports():
                    imports.setdefault(dll, []).append(function)
                print("%s: loads on Windows 95%s; imports %s" % (
                    name, ", runs on an i486" if objdump else "", ", ".join(
                    "%s (%d)" % (dll, len(f)) for dll, f in imports.items())))
            failed = failed or bool(problems)
    if not checked:
        print("no .exe or .dll found in", " ".join(paths))
        return 1
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
