#!/usr/bin/env python3
"""tavmor-pack as a user runs it: writes real launchers from the stub it
carries, with no toolchain on PATH, then reads them back with the tool itself
and with tools nobody here wrote: Debian's binutils, icoutils, openssl,
osslsigncode, and Wine running the result. The Windows-side e2e tests cover
what a launcher does. Every test runs twice: with the Linux tool, and with
tavmor-pack.exe under Wine; CrossHostTest checks that the two agree.

    tool_test.py TAVMOR_PACK APP_DIR WINE_RUN TAVMOR_PACK_EXE
"""
import atexit
import hashlib
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

TOOL, APP, WINE, TOOL_EXE = sys.argv[1:5]
del sys.argv[1:5]
# No compiler, linker or resource compiler may be needed: PATH holds none.
NO_TOOLS = tempfile.mkdtemp(prefix="tavmor-no-tools-")
atexit.register(os.rmdir, NO_TOOLS)
ENV = dict(os.environ, PATH=NO_TOOLS)


def run_tool(command, *args, check=True):
    result = subprocess.run([*command, *args], capture_output=True, text=True, env=ENV)
    if check and result.returncode != 0:
        raise AssertionError(f"{command[-1]} {' '.join(args)}: {result.returncode}\n{result.stderr}")
    return result


def checksum(data):
    return zlib.crc32(data) or 1


def folder_entries(root):
    """[name, size, checksum] of every file below root, names with backslashes."""
    found = []
    for folder, _, files in os.walk(root):
        for name in files:
            path = os.path.join(folder, name)
            with open(path, "rb") as f:
                data = f.read()
            found.append([os.path.relpath(path, root).replace("/", "\\"), len(data), checksum(data)])
    return found


def utf16(text):
    return text.encode("utf-16-le") + b"\0\0"


def resource(exe, kind):
    return subprocess.run(["wrestool", "-x", "--raw", "-t", str(kind), str(exe)],
                          capture_output=True, check=True).stdout


def version_node(blob, at=0):
    """(key, value, children) of the version resource node at `at`: u16
    length, value length and type, the key in UTF-16 and the value and the
    children, each on a 4-byte boundary."""
    length, value_length, text = struct.unpack_from("<3H", blob, at)
    key_end = at + 6
    while blob[key_end:key_end + 2] != b"\0\0":
        key_end += 2
    key = blob[at + 6:key_end].decode("utf-16-le")
    pos = (key_end + 2 + 3) & ~3
    size = value_length * 2 if text else value_length
    value = blob[pos:pos + size]
    if text:
        value = value.decode("utf-16-le").rstrip("\0")
    pos = (pos + size + 3) & ~3
    children = []
    while pos < at + length:
        child = version_node(blob, pos)
        children.append(child)
        pos = (pos + struct.unpack_from("<H", blob, pos)[0] + 3) & ~3
    return key, value, children


def version_strings(blob):
    """The StringFileInfo values of a raw version resource, by key."""
    key, fixed, children = version_node(blob)
    assert key == "VS_VERSION_INFO"
    strings = {}
    for name, _, tables in children:
        if name == "StringFileInfo":
            for _, _, entries in tables:
                strings.update({k: v for k, v, _ in entries})
    return strings


def fixed_versions(blob):
    """File and product version of the fixed part, as dotted text."""
    fixed = version_node(blob)[1]
    signature, _, fms, fls, pms, pls = struct.unpack_from("<6I", fixed)
    assert signature == 0xFEEF04BD
    dotted = lambda ms, ls: f"{ms >> 16}.{ms & 0xFFFF}.{ls >> 16}.{ls & 0xFFFF}"
    return dotted(fms, fls), dotted(pms, pls)


def read(path):
    with open(path, "rb") as f:
        return f.read()


def write(path, data):
    with open(path, "wb") as f:
        f.write(data)


HELLO = read(os.path.join(APP, "hello.exe"))


class ToolTest:
    """The tests of one tool; a subclass names the command that runs it."""
    command = None
    # Whether the tool sees the Linux file system as it is: Wine shows a
    # symbolic link as what it leads to, and a name Windows cannot hold
    # under an alias of its own.
    native = True

    def pack(self, *args, check=True):
        return run_tool(self.command, *args, check=check)

    def build(self, app, out, *options, check=True):
        return self.pack("build", str(app), "-o", str(out), *options, check=check)

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tavmor-tool-test-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def app(self, files, name="app"):
        root = self.path(name)
        for rel, data in files.items():
            full = os.path.join(root, rel)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "wb") as f:
                f.write(data)
        return root

    def test_list_verify_and_extract_agree_with_the_folder(self):
        out = self.path("hello.exe")
        self.build(APP, out)
        listed = json.loads(self.pack("list", "--json", out).stdout)
        self.assertEqual(listed[0]["name"], "hello.exe")
        self.assertEqual(sorted([e["name"], e["size"], e["checksum"]] for e in listed),
                         sorted(folder_entries(APP)))
        self.assertIn("every checksum matches", self.pack("verify", out).stdout)
        self.pack("extract", out, self.path("copy"))
        self.assertEqual(sorted(folder_entries(self.path("copy"))), sorted(folder_entries(APP)))
        for entry in folder_entries(APP):
            rel = entry[0].replace("\\", "/")
            with open(os.path.join(APP, rel), "rb") as a, open(self.path("copy", rel), "rb") as b:
                self.assertEqual(a.read(), b.read(), rel)

    def test_verify_fails_on_a_flipped_byte_in_a_copy_of_the_attached_data(self):
        out = self.path("hello.exe")
        self.build(APP, out)
        image = read(out)
        start = image.index(b"RUQ\x28\xb5\x2f\xfd")
        frame_end = start + 3 + zstd_frame_length(image, start + 3)
        raw = image[start:frame_end + 14]
        write(self.path("data.bin"), raw)
        self.assertEqual(self.pack("verify", self.path("data.bin")).returncode, 0)
        self.assertEqual(self.pack("list", "--json", self.path("data.bin")).stdout,
                         self.pack("list", "--json", out).stdout)
        for where in (len(raw) // 3, len(raw) // 2, len(raw) - 20):
            damaged = bytearray(raw)
            damaged[where] ^= 0x04
            write(self.path("damaged.bin"), damaged)
            result = self.pack("verify", self.path("damaged.bin"), check=False)
            self.assertEqual(result.returncode, 1, where)
            self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
            self.assertIn("damaged.bin", result.stderr)

    def test_the_entry_table_is_checked_by_verify_and_can_be_left_out(self):
        out, bare = self.path("hello.exe"), self.path("bare.exe")
        self.build(APP, out)
        self.build(APP, bare, "--no-entry-table")
        image = read(out)
        self.assertIn(".tavtbl", section_offsets(image))
        self.assertNotIn(".tavtbl", section_offsets(read(bare)))
        # The attached data is the same bytes either way.
        start = image.index(b"RUQ\x28\xb5\x2f\xfd")
        length = 3 + zstd_frame_length(image, start + 3) + 14
        bare_image = read(bare)
        bare_start = bare_image.index(b"RUQ\x28\xb5\x2f\xfd")
        self.assertEqual(image[start:start + length], bare_image[bare_start:bare_start + length])
        self.assertEqual(self.pack("verify", bare).returncode, 0)
        damaged = bytearray(image)
        damaged[section_offsets(image)[".tavtbl"] + 60] ^= 1
        write(self.path("damaged.exe"), damaged)
        result = self.pack("verify", self.path("damaged.exe"), check=False)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("damaged entry table", result.stderr)

    def test_two_builds_of_the_same_folder_are_identical(self):
        # Large enough for the compressor to split it into several jobs: the
        # bytes must not depend on how many threads share them.
        big = b"".join(hashlib.sha256(b"%d" % i).hexdigest().encode() for i in range(300000))
        root = self.app({"hello.exe": read(os.path.join(APP, "hello.exe")), "data/big.txt": big})
        os.makedirs(self.path("one"))
        os.makedirs(self.path("two"))
        self.build(root, self.path("one", "hello.exe"), "--level", "3", "--threads", "1")
        self.build(root, self.path("two", "hello.exe"), "--level", "3", "--threads", "3")
        self.assertEqual(read(self.path("one", "hello.exe")), read(self.path("two", "hello.exe")))

    def test_the_attached_data_starts_a_page_of_the_file(self):
        # A loader maps a section straight from the file only when it starts on
        # a page; Wine copies any other into private memory at every start.
        out = self.path("hello.exe")
        self.build(APP, out)
        image = read(out)
        offset = section_offsets(image)[".payload"]
        self.assertEqual(offset % 4096, 0)
        self.assertEqual(image[offset:offset + 3], b"RUQ")

    def test_refused_names_give_one_line_and_write_nothing(self):
        long_name = "/".join(["d" * 250] * 4) + "/" + "f" * 30
        cases = {
            "CON.txt": "reserved device name", "sub/lpt1": "reserved device name",
            "a<b": "holds one of", "a:b": "holds one of", 'a"b': "holds one of",
            "a|b": "holds one of", "a?b": "holds one of", "a*b": "holds one of",
            "ctl\x01": "control character",
            "dot.": "dot or blank", "blank ": "dot or blank", "back\\slash": "backslash",
            long_name: "longer than 1023", "COM\u00b9.txt": "reserved device name",
        }
        if not self.native:  # names Windows holds
            cases = {rel: cases[rel] for rel in ("CON.txt", "sub/lpt1", long_name, "COM\u00b9.txt")}
        for rel, message in cases.items():
            with self.subTest(rel=rel[:20]):
                shutil.rmtree(self.path("case"), ignore_errors=True)
                root = self.app({"app.exe": HELLO, rel: b"x"}, "case")
                out = self.path("out.exe")
                result = self.build(root, out, check=False)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn(message, result.stderr)
                self.assertIn(rel.split("/")[-1][:20], result.stderr)
                self.assertFalse(os.path.exists(out))
                self.assertFalse(os.path.exists(out + ".partial"))
        for clash in ({"Data/a.txt": b"1", "data/A.TXT": b"2"},
                      {"\u03c3.txt": b"1", "\u03a3.TXT": b"2"},
                      {"LongFileName.txt": b"1", "LONGFI~1.TXT": b"2"}):
            shutil.rmtree(self.path("clash"), ignore_errors=True)
            root = self.app({"app.exe": HELLO, **clash}, "clash")
            result = self.build(root, self.path("out.exe"), check=False)
            self.assertEqual(result.returncode, 1, clash)
            self.assertIn("in one place", result.stderr)

    def test_symbolic_links_inside_are_followed_and_outside_refused(self):
        if not self.native:
            self.skipTest("Wine shows a symbolic link as what it leads to")
        root = self.app({"app.exe": HELLO, "real/lib.dll": b"lib"})
        os.symlink("real", os.path.join(root, "linked"))
        out = self.path("out.exe")
        self.build(root, out)
        names = [e["name"] for e in json.loads(self.pack("list", "--json", out).stdout)]
        self.assertEqual(names, ["app.exe", "linked\\lib.dll", "real\\lib.dll"])
        write(self.path("secret"), b"s")
        os.symlink(self.path("secret"), os.path.join(root, "leak"))
        os.remove(out)
        result = self.build(root, out, check=False)
        self.assertEqual(result.returncode, 1)
        self.assertIn("outside the application folder", result.stderr)
        self.assertFalse(os.path.exists(out))

    def test_empty_folders_are_left_out_with_a_notice(self):
        root = self.app({"app.exe": HELLO})
        os.makedirs(os.path.join(root, "logs", "old"))
        result = self.build(root, self.path("out.exe"))
        self.assertIn("empty folder logs left out", result.stderr)
        self.assertRegex(result.stdout, r"out\.exe: 1 file, \d+ bytes in, \d+ bytes out \(.*%\), [0-9.]+ s")

    def test_reference_build_constants_and_resources(self):
        root = self.app({"Quolvenarix.exe": read(os.path.join(APP, "hello.exe")),
                         "data/greeting.txt": b"hi"})
        out = self.path("Quolvenarix.exe")
        self.build(root, out, "--product", "Quolvenarix", "--company", "Pelmarith", "--version", "1.70.0",
              "--description", "Quolvenarix application")
        image = read(out)
        self.assertIn(utf16("{CACHE_DIR}\\Quolvenarix\\1.70.0"), image)
        self.assertIn(utf16("Pelmarith"), image)
        self.assertIn(utf16("1.70.0"), image)
        self.assertIn(utf16("Preparing Quolvenarix for its first start") + b"\0\0", image)
        blob = resource(out, 16)
        self.assertEqual(fixed_versions(blob), ("1.70.0.0", "1.70.0.0"))
        self.assertEqual(version_strings(blob), {
            "FileVersion": "1.70.0.0", "ProductVersion": "1.70.0.0", "CompanyName": "Pelmarith",
            "ProductName": "Quolvenarix", "InternalName": "Quolvenarix",
            "OriginalFilename": "Quolvenarix.exe", "FileDescription": "Quolvenarix application"})
        manifest = resource(out, 24).decode()
        for needle in ('level="asInvoker"', 'uiAccess="false"', "<longPathAware",
                       ">true</longPathAware>", "e2011457-1546-43c5-a5fe-008deee3d3f0",
                       "8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a", "Microsoft.Windows.Common-Controls",
                       'version="6.0.0.0"', ">true/pm</dpiAware>", ">PerMonitorV2, PerMonitor<"):
            self.assertIn(needle, manifest)
        icons = subprocess.run(["wrestool", "-l", "-t", "3", out], capture_output=True, text=True)
        self.assertEqual(len(icons.stdout.splitlines()), 7)
        headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", out], capture_output=True,
                                 text=True, check=True).stdout
        self.assertIn("Subsystem\t\t00000003", headers)  # hello is a console program
        dlls = sorted(l.split()[-1].lower() for l in headers.splitlines() if "DLL Name:" in l)
        self.assertEqual(dlls, ["kernel32.dll", "msvcrt.dll", "shell32.dll"])

    def test_unicode_texts_reach_the_image_unchanged(self):
        root = self.app({"app.exe": HELLO})
        out = self.path("out.exe")
        company = 'Ä "quoted" \\ back 😀'
        self.build(root, out, "--company", company, "--product", "Prodükt", "--version", "2.1")
        image = read(out)
        self.assertIn(utf16(company), image)
        self.assertIn(utf16("{CACHE_DIR}\\Prodükt\\2.1"), image)
        strings = version_strings(resource(out, 16))
        self.assertEqual(strings["CompanyName"], company)
        self.assertEqual(strings["FileVersion"], "2.1.0.0")

    def test_a_chosen_icon_replaces_the_built_in_group(self):
        out = self.path("hello.exe")
        self.build(APP, out)
        write(self.path("group.ico"), subprocess.run(
            ["wrestool", "-x", "-t", "14", out], capture_output=True, check=True).stdout)
        subprocess.run(["icotool", "-x", "-i", "7", "-o", self.path("big.png"),
                        self.path("group.ico")], check=True)
        subprocess.run(["icotool", "-c", "-o", self.path("one.ico"), self.path("big.png")],
                       check=True)
        os.remove(out)
        self.build(APP, out, "--icon", self.path("one.ico"))
        icons = subprocess.run(["wrestool", "-l", "-t", "3", out], capture_output=True, text=True)
        self.assertEqual(len(icons.stdout.splitlines()), 1)

    def test_other_tools_accept_the_image_and_wine_runs_it_signed(self):
        out = self.path("hello.exe")
        self.build(APP, out, "--spec", "{TEMP}\\tavmor-tool-test\\{VERSION}")
        headers = subprocess.run(["x86_64-w64-mingw32-objdump", "-p", "-h", out],
                                 capture_output=True, text=True, check=True).stdout
        self.assertRegex(headers, r"Entry 2 [0-9a-f]*[1-9a-f][0-9a-f]* [0-9a-f]+ Resource Directory")
        self.assertRegex(headers, r"\.rsrc\s")
        self.assertRegex(headers, r"\.payload\s")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=Tavmor Test", "-keyout", self.path("key.pem"),
                        "-out", self.path("cert.pem")], capture_output=True, check=True)
        signed = self.path("signed.exe")
        subprocess.run(["osslsigncode", "sign", "-certs", self.path("cert.pem"), "-key",
                        self.path("key.pem"), "-in", out, "-out", signed],
                       capture_output=True, check=True)
        self.assertGreater(os.path.getsize(signed), os.path.getsize(out))
        self.assertEqual(self.pack("list", "--json", signed).stdout, self.pack("list", "--json", out).stdout)
        self.assertEqual(self.pack("verify", signed).returncode, 0)
        for exe in (out, signed):
            verified = subprocess.run(["osslsigncode", "verify", "-CAfile", self.path("cert.pem"),
                                       "-in", exe], capture_output=True, text=True)
            # osslsigncode names both values and warns only when they differ.
            self.assertRegex(verified.stdout, r"PE checksum\s*:\s*[0-9A-F]{8}")
            self.assertNotIn("invalid PE checksum", verified.stdout + verified.stderr, exe)
        self.assertIn("Signature verification: ok", verified.stdout + verified.stderr)
        # hello is a console program, so its launcher is one: the output of
        # the program it starts reaches the caller's standard output.
        ran = subprocess.run([WINE, signed, "from-the-test"], capture_output=True, timeout=120)
        self.assertEqual(ran.returncode, 0, ran.stderr)
        self.assertIn(b"Hello from a packed application!", ran.stdout)
        self.assertIn(b"from-the-test", ran.stdout)

    def test_the_subsystem_follows_the_program_unless_chosen(self):
        gui = bytearray(HELLO)
        pe = struct.unpack_from("<I", gui, 0x3C)[0]
        struct.pack_into("<H", gui, pe + 24 + 68, 2)
        for child, options, expected in ((HELLO, (), 3), (bytes(gui), (), 2),
                                         (bytes(gui), ("--subsystem", "console"), 3),
                                         (HELLO, ("--subsystem", "gui"), 2)):
            root = self.app({"app.exe": child}, "sub")
            out = self.path("sub.exe")
            self.build(root, out, *options)
            image = read(out)
            at = struct.unpack_from("<I", image, 0x3C)[0] + 24 + 68
            self.assertEqual(struct.unpack_from("<H", image, at)[0], expected, options)
            shutil.rmtree(root)

    def test_the_program_to_start_must_be_a_64bit_windows_program(self):
        pe = struct.unpack_from("<I", HELLO, 0x3C)[0]
        def patched(offset, fmt, value):
            data = bytearray(HELLO)
            struct.pack_into(fmt, data, offset, value)
            return bytes(data)
        cases = {"text": (b"just text", "no Windows program"),
                 "dll": (patched(pe + 22, "<H", 0x2022), "a DLL"),
                 "i386": (patched(pe + 4, "<H", 0x14C), "x86-64"),
                 "pe32": (patched(pe + 24, "<H", 0x10B), "PE32+"),
                 "native": (patched(pe + 24 + 68, "<H", 1), "subsystem 1")}
        for name, (data, reason) in cases.items():
            with self.subTest(name=name):
                root = self.app({"app.exe": data}, name)
                result = self.build(root, self.path(name + ".exe"), check=False)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertIn(reason, result.stderr)
                self.assertFalse(os.path.exists(self.path(name + ".exe")))

    def test_the_tool_alone_needs_nothing_beside_it_or_on_path(self):
        alone = self.path("alone")
        os.makedirs(alone)
        shutil.copy(self.command[-1], alone)
        out = self.path("hello.exe")
        alone_command = [*self.command[:-1], os.path.join(alone, os.path.basename(self.command[-1]))]
        run_tool(alone_command, "build", APP, "-o", out)
        self.assertEqual(self.pack("verify", out).returncode, 0)

    def test_spec_warnings_and_a_failed_replacement(self):
        result = self.build(APP, self.path("w.exe"), "--spec", "cache\\fixed")
        self.assertIn("warning: --spec cache\\fixed: relative", result.stderr)
        self.assertIn("the same for every version", result.stderr)
        os.makedirs(self.path("taken.exe", "inside"))
        result = self.build(APP, self.path("taken.exe"), check=False)
        self.assertEqual(result.returncode, 1, result.stderr)
        self.assertIn("cannot write: ", result.stderr)
        self.assertNotIn("Success", result.stderr)
        self.assertFalse(os.path.exists(self.path("taken.exe.partial")))

    def test_the_check_by_size_and_time_needs_a_spec_in_the_users_folders(self):
        # Elsewhere another account could plant a file of the same size and time.
        root = self.app({"a.exe": HELLO})
        out = self.path("m.exe")
        for spec in ("C:\\Shared\\App", "{PROGRAM_DIR}\\app", "cache\\app"):
            with self.subTest(spec=spec):
                result = self.build(root, out, "--spec", spec, "--cache-check", "metadata",
                                    check=False)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertIn("outside the user's own folders", result.stderr)
                self.assertFalse(os.path.exists(out))
        self.build(root, out, "--spec", "{TEMP}\\App", "--cache-check", "metadata")
        self.assertTrue(os.path.exists(out))

    def test_user_errors_exit_1_with_one_line(self):
        root = self.app({"a.exe": HELLO, "b.exe": HELLO})
        for args in (["build", root, "-o", self.path("x.exe")],
                     ["build", root, "-o", self.path("x.exe"), "--child", "a.exe", "--version",
                      "1.2-beta"],
                     ["build", root, "-o", self.path("x.exe"), "--child", "a.exe", "--spec",
                      "{NOSUCH}\\x"],
                     ["build", root, "-o", os.path.join(root, "x.exe"), "--child", "a.exe"],
                     ["build", root, "-o", self.path("no", "x.exe"), "--child", "a.exe"],
                     ["build", root, "-o", self.path("x.exe"), "--child", "a.exe", "--icon",
                      os.path.join(root, "a.exe")],
                     ["build", root, "-o", self.path("x.exe"), "--child", "a.exe",
                      "--subsystem", "native"],
                     ["build", root, "-o", self.path("x.exe"), "--child", "a.exe",
                      "--cache-check", "sometimes"],
                     ["build", root, "-o", self.path("x.exe"), "--child", "a.exe",
                      "--cache-check", "metadata", "--spec", "C:\\Shared\\{VERSION}"],
                     ["build", root, "-o", self.path("x.exe"), "--child", "a.exe",
                      "--cache-check", "metadata", "--no-entry-table"],
                     ["build", root, "-o", self.path("x.exe"), "--child", "a.exe",
                      "--progress", "always"],
                     ["build", root, "-o", self.path("x.exe"), "--child", "a.exe",
                      "--progress-text", "two\nlines"],
                     ["build", root, "--bogus"], ["list"], ["verify", self.path("missing")],
                     ["frobnicate"]):
            with self.subTest(args=args[-2:]):
                result = self.pack(*args, check=False)
                self.assertEqual(result.returncode, 1, result.stderr)
                self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
                self.assertTrue(result.stderr.startswith("tavmor-pack: "))
        self.assertEqual(self.pack("--version").returncode, 0)
        for command in ("build", "list", "verify", "extract", "notices"):
            self.assertIn("usage: tavmor-pack " + command, self.pack(command, "--help").stdout)


class LinuxToolTest(ToolTest, unittest.TestCase):
    command = [TOOL]


class WindowsToolTest(ToolTest, unittest.TestCase):
    command = [WINE, TOOL_EXE]
    native = False


def windows_path(path):
    """A Linux path as Wine's drive Z: shows it."""
    return "Z:" + path.replace("/", "\\")


class CrossHostTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tavmor-cross-host-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def test_both_tools_write_the_same_launcher_and_read_it_alike(self):
        # Unicode names, and paths past 260 characters below the folder and
        # below the extraction folder.
        deep = "/".join(["tief-\u00e4\u00f6\u00fc-" + "x" * 90] * 3)
        files = {"hello.exe": HELLO, "data/greeting.txt": b"hi\n",
                 "donn\u00e9es/\u03a9 \u4e2d\u6587 \U0001f600.txt": b"u" * 5000,
                 deep + "/last.bin": bytes(range(256)) * 64}
        root = self.path("app")
        for rel, data in files.items():
            os.makedirs(os.path.dirname(os.path.join(root, rel)), exist_ok=True)
            write(os.path.join(root, rel), data)
        cache = windows_path(self.path("cache")) + "\\{VERSION}"
        options = ("--spec", cache, "--product", "Cross", "--version", "1.2.3")
        tools = {"linux": [TOOL], "windows": [WINE, TOOL_EXE]}
        for name, command in tools.items():
            os.makedirs(self.path(name))
            out = self.path(name, "Cross.exe")
            # The Windows tool is handed a \\?\ path, as a script there may.
            shown = "\\\\?\\" + windows_path(out) if name == "windows" else out
            run_tool(command, "build", root, "-o", shown, *options)
        launcher = self.path("linux", "Cross.exe")
        self.assertEqual(read(launcher), read(self.path("windows", "Cross.exe")))
        for args in (["list", "--json", launcher], ["list", launcher], ["verify", launcher],
                     ["verify", self.path("missing.exe")]):
            linux, windows = (run_tool(command, *args, check=False) for command in tools.values())
            self.assertEqual((linux.returncode, linux.stdout), (windows.returncode, windows.stdout))
            # Messages name the files alike, each in its host's form.
            self.assertEqual(re.sub(re.escape(self.dir) + r"\S*", lambda m: windows_path(m[0]),
                                    linux.stderr), windows.stderr)
        for name, command in tools.items():
            run_tool(command, "extract", launcher, self.path(name + "-copy"))
        self.assertEqual(sorted(folder_entries(self.path("windows-copy"))),
                         sorted(folder_entries(root)))
        self.assertEqual(sorted(folder_entries(self.path("linux-copy"))),
                         sorted(folder_entries(root)))

        # The launcher written on Windows runs: arguments in, exit code out,
        # and a second start reuses the unpacked files.
        windows_launcher = self.path("windows", "Cross.exe")
        ran = subprocess.run([WINE, windows_launcher, "one", "two words"], capture_output=True,
                             timeout=120)
        self.assertEqual(ran.returncode, 0, ran.stderr)
        self.assertIn(b"[2] two words", ran.stdout)
        unpacked = [os.path.join(folder, name) for folder, _, names in os.walk(self.path("cache"))
                    for name in names]
        self.assertEqual(len(unpacked), len(files))
        for path in unpacked:
            os.utime(path, (1000000000, 1000000000))
        ran = subprocess.run([WINE, windows_launcher], capture_output=True, timeout=120)
        self.assertEqual(ran.returncode, 0, ran.stderr)
        self.assertEqual({os.stat(path).st_mtime for path in unpacked}, {1000000000})
        os.remove(os.path.join(root, "data", "greeting.txt"))
        run_tool(tools["windows"], "build", root, "-o", windows_launcher, *options[:-1], "1.2.4")
        ran = subprocess.run([WINE, windows_launcher], capture_output=True, timeout=120)
        self.assertEqual(ran.returncode, 1, ran.stdout + ran.stderr)
        self.assertIn(b"Cannot open", ran.stdout, ran.stderr)


    def test_a_case_clash_made_elsewhere_is_refused_before_extract_writes(self):
        # A folder on Windows cannot hold both names; attached data made by
        # hand can, and extracting it there would overwrite one with the other.
        content = b"".join(utf16(name) + struct.pack("<QI", 1, checksum(data)) + data
                           for name, data in (("a.txt", b"1"), ("A.TXT", b"2"))) + b"\0\0"
        # One frame, one raw block: single segment, one byte of content size.
        frame = struct.pack("<IBB", 0xFD2FB528, 0x20, len(content)) + \
            (len(content) << 3 | 1).to_bytes(3, "little") + content
        data = self.path("clash.bin")
        write(data, b"RUQ" + frame + b"\0" * 3 + struct.pack("<Q", 6 + len(frame)) + b"\0" * 3)
        for command in ([TOOL], [WINE, TOOL_EXE]):
            result = run_tool(command, "extract", data, self.path("out"), check=False)
            self.assertEqual(result.returncode, 1, result.stderr)
            self.assertEqual(len(result.stderr.splitlines()), 1, result.stderr)
            self.assertIn("in one place", result.stderr)
            self.assertFalse(os.path.exists(self.path("out")))


def section_offsets(image):
    """{name: file offset of its raw data} from a PE image's section table."""
    pe = struct.unpack_from("<I", image, 0x3C)[0]
    count, optional_size = struct.unpack_from("<H", image, pe + 6)[0], struct.unpack_from(
        "<H", image, pe + 20)[0]
    table = pe + 24 + optional_size
    offsets = {}
    for i in range(count):
        name = image[table + 40 * i:table + 40 * i + 8].rstrip(b"\0").decode()
        offsets[name] = struct.unpack_from("<I", image, table + 40 * i + 20)[0]
    return offsets


def zstd_frame_length(data, at):
    """Length of the zstd frame at `at`, walked block by block (RFC 8878)."""
    descriptor = data[at + 4]
    pos = at + 5
    single_segment = descriptor >> 5 & 1
    pos += 0 if single_segment else 1
    pos += [0, 1, 2, 4][descriptor & 3]
    pos += [1 if single_segment else 0, 2, 4, 8][descriptor >> 6]
    while True:
        header = int.from_bytes(data[pos:pos + 3], "little")
        last, kind, size = header & 1, header >> 1 & 3, header >> 3
        pos += 3 + (1 if kind == 1 else size)
        if last:
            break
    return pos - at + (4 if descriptor >> 2 & 1 else 0)


if __name__ == "__main__":
    unittest.main(verbosity=2)
