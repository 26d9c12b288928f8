"""DLLs that a web site drops into the Downloads folder the Installer runs from are never loaded,
and the window and an install still work with them lying there.

PLANTED holds the names Wine 8 reported (WINEDEBUG=+pid,+loaddll) for the Installer's own process
from its start through an install, without ntdll, kernelbase and kernel32, which Wine maps before
the program, and without those Wine takes from the program's folder whatever the program does
(each seen loaded when planted alone):
- msvcrt.dll, bound at start for the C runtime; Windows takes it from System32 as a KnownDLL;
- crypt32, secur32 and imagehlp, which Wine's own winhttp and wintrust load on first use through
  LdrLoadDll without a path, a search that ignores SetDefaultDllDirectories, and bcrypt and
  dbghelp, which those import.
Wine maps its built-in DLL under most names even when it finds another file first, so the test
asks Wine, for this program only, to take the file it finds, as Windows does.
"""

import os
import shutil
import struct
import sys

import harness
from harness import InstallerTestCase, windows_path, wine_reg
from test_install import InstallTestCase
from support.product import sentence  # noqa: E402

sys.path.insert(0, os.path.join(harness.SOURCE, "tests", "win"))
from check_resources import PeResources  # noqa: E402

PLANTED = ("advapi32.dll", "combase.dll", "comctl32.dll", "dnsapi.dll", "dwmapi.dll", "gdi32.dll", "gdiplus.dll",
           "imm32.dll", "iphlpapi.dll", "jsproxy.dll", "kerberos.dll", "msv1_0.dll", "netapi32.dll", "nsi.dll",
           "ole32.dll", "oleaut32.dll", "rpcrt4.dll", "rsaenh.dll", "schannel.dll", "sechost.dll", "shcore.dll",
           "shell32.dll", "shlwapi.dll", "ucrtbase.dll", "user32.dll", "uxtheme.dll", "version.dll", "win32u.dll",
           "winex11.drv", "winhttp.dll", "wintrust.dll", "ws2_32.dll", "zlib1.dll")
PROGRAM_SETTINGS = "HKEY_CURRENT_USER\\Software\\Wine\\AppDefaults\\TarnwickInstaller.exe"


def load_time_imports(path):
    """The DLLs of the import directory, which the loader binds before the program's code runs."""
    pe = PeResources(path)
    optional_header = struct.unpack_from("<I", pe.data, 0x3C)[0] + 24
    descriptor = pe.offset(struct.unpack_from("<I", pe.data, optional_header + 112 + 8)[0])
    names = []
    while name := struct.unpack_from("<12xI", pe.data, descriptor)[0]:
        start = pe.offset(name)
        names.append(pe.data[start:pe.data.index(b"\0", start)].decode().lower())
        descriptor += 20
    return sorted(names)


class PlantedDlls(InstallTestCase):
    def test_no_planted_dll_is_loaded_and_an_install_still_works(self):
        loaded = os.path.join(self.work_dir, "loaded")
        os.makedirs(loaded)
        for name in PLANTED:
            shutil.copyfile(os.environ["TWI_E2E_PLANTED_LIBRARY"], os.path.join(self.work_dir, name))
        self.take_the_dlls_found(PLANTED)
        build = self.samples.build("2.1.0", "sample-setup-exit-0.exe", "Studio-2.1.0-setup.exe")
        try:
            self.open([build], program_env={"TWI_PLANTED_MARKERS": windows_path(loaded)})
            self.wait_status(sentence("choose_version"))
            self.install_row(0, sentence("installed_suffix", label="Studio 2.1.0"))
            self.assertEqual(self.close_window(), 0)
        finally:
            self.assertEqual(sorted(os.listdir(loaded)), [], "planted DLLs ran inside the Installer")

    def take_the_dlls_found(self, names):
        settings = os.path.join(self.work_dir, "dll-overrides.reg")
        with open(settings, "w") as f:
            f.write("REGEDIT4\n\n[%s\\DllOverrides]\n" % PROGRAM_SETTINGS)
            f.writelines('"%s"="native,builtin"\n' % name.removesuffix(".dll") for name in names)
        self.addCleanup(wine_reg, self.config, "delete", PROGRAM_SETTINGS, "/f")
        wine_reg(self.config, "import", windows_path(settings))


class LoadTimeImports(InstallerTestCase):
    def test_only_kernel32_and_the_c_runtime_are_bound_at_start(self):
        self.assertEqual(load_time_imports(self.config.program), ["kernel32.dll", "msvcrt.dll"])


if __name__ == "__main__":
    sys.exit(harness.main(module="__main__"))
