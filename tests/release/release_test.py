#!/usr/bin/env python3
"""A release as a user gets it, offline, from the files scripts/release
wrote: each archive unpacked with tar or unzip, its tool run (the .exe under
Wine) and a launcher it wrote started; the checksums and a second release;
the npm packages installed from their tarballs with no registry, run through
npx on Linux and through a Windows Node.js under Wine. scripts/test runs it
after two releases of the same commit in different folders.

    release_test.py DIST SECOND_DIST APP_DIR WINE_RUN
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest

DIST, SECOND, APP, WINE = (os.path.abspath(a) for a in sys.argv[1:5])
del sys.argv[1:5]
ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
WINDOWS_NODE = os.path.join(ROOT, ".cache", "node-win-x64", "node.exe")
# Node.js refuses to start on the Windows version a fresh Wine prefix reports.
WINE_ENV = dict(os.environ, NODE_SKIP_PLATFORM_CHECK="1")


def committed(name):
    """A file as the release's commit holds it."""
    return subprocess.run(["git", "-C", ROOT, "show", f"HEAD:{name}"], capture_output=True,
                          check=True).stdout


VERSION = committed("VERSION").decode().strip()
NOTICES = committed("THIRD-PARTY-NOTICES.txt")
LAUNCHER_NOTICES = NOTICES[NOTICES.index(b"\nThird-party code in every launcher") + 1:]
DOCUMENTS = {"README.md": committed("README.md"), "LICENSE": committed("LICENSE"),
             "THIRD-PARTY-NOTICES.txt": NOTICES}


def read(path):
    with open(path, "rb") as f:
        return f.read()


def windows_path(path):
    """A Linux path as Wine's drive Z: shows it."""
    return "Z:" + path.replace("/", "\\")


def tree(root):
    """Every folder and file below root, relative, folders ending in '/'."""
    found = set()
    for folder, folders, files in os.walk(root):
        rel = os.path.relpath(folder, root)
        found |= {os.path.normpath(os.path.join(rel, f)) + "/" for f in folders}
        found |= {os.path.normpath(os.path.join(rel, f)) for f in files}
    return found


class ReleaseTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="tavmor-release-test-")
        self.addCleanup(shutil.rmtree, self.dir)

    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def build_options(self, description="Packed by the release test"):
        # A cache folder of the test's own, never the prefix user's.
        return ["--spec", windows_path(self.path("cache")) + "\\{VERSION}", "--product",
                "TavmorRelease", "--company", "Tavmor tests", "--description", description]

    def run_launcher(self, launcher):
        ran = subprocess.run([WINE, launcher, "first", "second argument"], capture_output=True,
                             timeout=120)
        self.assertEqual(ran.returncode, 0, ran.stderr)
        self.assertIn(b"Hello from a packed application!", ran.stdout)
        self.assertIn(b"second argument", ran.stdout)


class ArchiveTest(ReleaseTest):
    def test_each_archive_holds_one_working_tool_and_its_documents(self):
        archives = {
            "linux": (f"tavmor-pack-{VERSION}-linux-x64.tar.gz", ["tar", "-xzf"], "tavmor-pack", []),
            "windows": (f"tavmor-pack-{VERSION}-windows-x64.zip", ["unzip", "-q"],
                        "tavmor-pack.exe", [WINE]),
        }
        launchers = {}
        for system, (archive, unpack, binary, runner) in archives.items():
            with self.subTest(system):
                into = self.path(system)
                os.makedirs(into)
                subprocess.run([*unpack, os.path.join(DIST, archive)], cwd=into, check=True)
                folder = archive.removesuffix(".tar.gz").removesuffix(".zip")
                self.assertEqual(tree(into), {folder + "/"} | {f"{folder}/{name}" for name in
                                                               [binary, *DOCUMENTS]})
                for name, content in DOCUMENTS.items():
                    self.assertEqual(read(os.path.join(into, folder, name)), content, name)
                tool = [*runner, os.path.join(into, folder, binary)]
                self.assertTrue(os.access(tool[-1], os.X_OK))

                ran = subprocess.run([*tool, "--version"], capture_output=True, check=True)
                self.assertEqual(ran.stdout, f"tavmor-pack {VERSION}\n".encode())
                ran = subprocess.run([*tool, "notices"], capture_output=True, check=True)
                self.assertEqual(ran.stdout, LAUNCHER_NOTICES)
                self.assertIn(b"zstd 1.", ran.stdout)
                self.assertIn(b"Redistributions in binary form must reproduce", ran.stdout)

                launchers[system] = self.path(system, "Hello.exe")
                subprocess.run([*tool, "build", APP, "-o", launchers[system],
                                *self.build_options()], capture_output=True, check=True)
                self.run_launcher(launchers[system])
        self.assertEqual(read(launchers["linux"]), read(launchers["windows"]))

    def test_the_linux_tool_needs_only_the_c_library(self):
        into = self.path("linux")
        os.makedirs(into)
        subprocess.run(["tar", "-xzf", os.path.join(DIST, f"tavmor-pack-{VERSION}-linux-x64.tar.gz"),
                        "--strip-components=1"], cwd=into, check=True)
        dynamic = subprocess.run(["readelf", "-d", os.path.join(into, "tavmor-pack")],
                                 capture_output=True, text=True, check=True).stdout
        needed = set(re.findall(r"\(NEEDED\)\s+Shared library: \[(.+)\]", dynamic))
        self.assertLessEqual(needed, {"libc.so.6", "libm.so.6", "ld-linux-x86-64.so.2"})


class ChecksumTest(unittest.TestCase):
    def test_sums_cover_and_verify_every_file_and_a_second_release_is_identical(self):
        names = sorted(n for n in os.listdir(DIST) if n != "SHA256SUMS")
        listed = [line.split("  ", 1)[1] for line in read(os.path.join(DIST, "SHA256SUMS"))
                  .decode().splitlines()]
        self.assertEqual(listed, names)
        subprocess.run(["sha256sum", "--check", "--strict", "--quiet", "SHA256SUMS"], cwd=DIST,
                       check=True)
        self.assertEqual(sorted(os.listdir(SECOND)), sorted(os.listdir(DIST)))
        for name in os.listdir(DIST):
            self.assertEqual(hashlib.sha256(read(os.path.join(SECOND, name))).hexdigest(),
                             hashlib.sha256(read(os.path.join(DIST, name))).hexdigest(), name)


def npm_version():
    text = subprocess.run(["npm", "--version"], capture_output=True, text=True, check=True).stdout
    return tuple(int(p) for p in text.strip().split(".")[:2])


class NpmTest(ReleaseTest):
    def tarball(self, name):
        return "file:" + os.path.join(DIST, f"{name}-{VERSION}.tgz")

    def install(self, folder, *options, windows=False):
        """An application's folder that depends on tavmor-pack, the platform
        packages supplied as the registry would (optional dependencies), and
        npm install in it, offline. Returns the platform packages installed."""
        os.makedirs(folder)
        platforms = {f"@tavmor-pack/{p}": self.tarball(f"tavmor-pack-{p}")
                     for p in ("linux-x64", "win32-x64")}
        manifest = {"name": "app", "version": "1.0.0", "private": True,
                    "devDependencies": {"tavmor-pack": self.tarball("tavmor-pack")},
                    "optionalDependencies": platforms}
        if windows and npm_version() < (10, 1):
            # npm before 10.1 has no --os and --cpu: the Windows package as a
            # plain dependency, its platform check overruled.
            manifest["optionalDependencies"] = {}
            manifest["devDependencies"]["@tavmor-pack/win32-x64"] = platforms["@tavmor-pack/win32-x64"]
            options = ("--force",)
        with open(os.path.join(folder, "package.json"), "w") as f:
            json.dump(manifest, f)
        subprocess.run(["npm", "install", "--offline", "--no-audit", "--no-fund", *options],
                       cwd=folder, capture_output=True, check=True)
        scope = os.path.join(folder, "node_modules", "@tavmor-pack")
        return sorted(os.listdir(scope)) if os.path.isdir(scope) else []

    def test_npx_runs_the_linux_tool_with_the_same_arguments_streams_and_status(self):
        app = self.path("app")
        self.assertEqual(self.install(app), ["linux-x64"])
        tool = [os.path.join(app, "node_modules", "@tavmor-pack", "linux-x64", "bin", "tavmor-pack")]
        npx = ["npx", "--offline", "--no-install", "tavmor-pack"]
        # Arguments with spaces and beyond ASCII arrive as they were given.
        options = self.build_options("Ein Programm f\u00fcr \u00c4rzte \u2013 \u4e2d\u6587")
        outputs = {}
        for name, command in (("npx", npx), ("direct", tool)):
            # The same name: a launcher's version resource holds it.
            outputs[name] = self.path(name, "Hello.exe")
            os.makedirs(self.path(name))
            subprocess.run([*command, "build", APP, "-o", outputs[name], *options], cwd=app,
                           capture_output=True, check=True)
        self.assertEqual(read(outputs["npx"]), read(outputs["direct"]))
        self.run_launcher(outputs["npx"])
        for arguments in (["list", outputs["npx"]], ["build"], ["verify", self.path("none.exe")]):
            by_npx = subprocess.run([*npx, *arguments], cwd=app, capture_output=True)
            direct = subprocess.run([*tool, *arguments], cwd=app, capture_output=True)
            self.assertEqual((by_npx.returncode, by_npx.stdout, by_npx.stderr),
                             (direct.returncode, direct.stdout, direct.stderr), arguments)

    def test_without_a_binary_for_the_platform_it_says_so_in_one_line(self):
        app = self.path("app")
        self.install(app, "--omit=optional")
        script = os.path.join(app, "node_modules", "tavmor-pack", "bin", "tavmor-pack.js")
        cases = {
            "freebsd": "no binary for freebsd-x64; tavmor-pack has packages for linux-x64, win32-x64",
            "linux": "@tavmor-pack/linux-x64 is not installed",
        }
        for platform, message in cases.items():
            with self.subTest(platform):
                ran = subprocess.run(
                    ["node", "-e", f"Object.defineProperty(process, 'platform', "
                                   f"{{value: '{platform}'}}); require({json.dumps(script)})",
                     "--", "--version"], capture_output=True, text=True)
                self.assertEqual(ran.returncode, 1)
                self.assertEqual(ran.stdout, "")
                self.assertEqual(len(ran.stderr.splitlines()), 1, ran.stderr)
                self.assertIn(message, ran.stderr)

    def test_windows_node_runs_the_windows_tool_to_the_same_bytes(self):
        app = self.path("app")
        self.assertEqual(self.install(app, "--os=win32", "--cpu=x64", windows=True), ["win32-x64"])
        script = os.path.join(app, "node_modules", "tavmor-pack", "bin", "tavmor-pack.js")
        node = [WINE, WINDOWS_NODE, script]
        os.makedirs(self.path("windows"))
        out = self.path("windows", "Hello.exe")

        def run(*arguments):
            # Node.js under Wine cannot open a Linux pipe as its stdout: files.
            with open(self.path("out.txt"), "wb") as stdout, open(self.path("err.txt"), "wb") as stderr:
                ran = subprocess.run([*node, *arguments], cwd=app, stdout=stdout, stderr=stderr,
                                     stdin=subprocess.DEVNULL, env=WINE_ENV, timeout=300)
            return ran.returncode, read(self.path("out.txt")), read(self.path("err.txt"))

        status, _, stderr = run("build", APP, "-o", out, *self.build_options())
        self.assertEqual(status, 0, stderr)
        os.makedirs(self.path("linux"))
        linux = self.path("linux", "Hello.exe")
        subprocess.run(["tar", "-xzf", os.path.join(DIST, f"tavmor-pack-{VERSION}-linux-x64.tar.gz"),
                        "-C", self.dir], check=True)
        linux_tool = self.path(f"tavmor-pack-{VERSION}-linux-x64", "tavmor-pack")
        subprocess.run([linux_tool, "build", APP, "-o", linux, *self.build_options()],
                       capture_output=True, check=True)
        self.assertEqual(read(out), read(linux))
        status, stdout, stderr = run("build")
        self.assertEqual((status, stdout), (1, b""))
        self.assertIn(b"tavmor-pack: build needs one APP_DIR", stderr)


def setUpModule():
    subprocess.run([WINE, "--start"], check=True)


def tearDownModule():
    subprocess.run([WINE, "--stop"], check=True)


if __name__ == "__main__":
    unittest.main(verbosity=2)
