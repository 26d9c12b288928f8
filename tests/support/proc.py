"""What Linux's /proc says of a process: CPU time, resident memory, descriptors, threads."""

import os

TICK = os.sysconf("SC_CLK_TCK")


def cpu_seconds(pid, thread=None):
    """User plus system time of a process (or one of its threads) so far; 0 once it is gone."""
    path = "/proc/%d/stat" % pid if thread is None else "/proc/%d/task/%d/stat" % (pid, thread)
    try:
        with open(path) as f:
            # The name in parentheses may hold blanks and parentheses itself.
            after_name = f.read().rsplit(")", 1)[1].split()
    except (OSError, IndexError):
        return 0.0
    return (int(after_name[11]) + int(after_name[12])) / TICK


def resident_bytes(pid):
    """VmRSS in bytes, None for a process without one (a zombie); OSError once it is gone."""
    with open("/proc/%d/status" % pid) as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1]) * 1024
    return None


def vm_rss(pid):
    """VmRSS in bytes; 0 once the process is gone or has none."""
    try:
        return resident_bytes(pid) or 0
    except OSError:
        return 0


def open_descriptors(pid):
    return len(os.listdir("/proc/%d/fd" % pid))


def threads(pid):
    """The ids of the process's threads."""
    return [int(task) for task in os.listdir("/proc/%d/task" % pid)]


def process_with_cwd_named(folder):
    """The pid of a process whose working folder has this base name, or None."""
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                if os.path.basename(os.readlink("/proc/%s/cwd" % entry)) == folder:
                    return int(entry)
            except OSError:
                pass
    return None


def wineserver_of(prefix):
    """The pid of the wineserver serving prefix: the one whose folder is named after its inode."""
    info = os.stat(prefix)
    return process_with_cwd_named("server-%x-%x" % (info.st_dev, info.st_ino))
