#!/usr/bin/python
"""An Ansible module that installs or removes a Windows package in a Wine
prefix the way ansible.windows.win_package does it on a Windows PC. It asks
first whether the product is there: present only when every check given
holds (product_id: the Uninstall key; creates_path: the path), as
win_package decides. state=present runs the installer only when it is not
there; state=absent runs the key's QuietUninstallString (its
UninstallString where there is none) only when it is. Either fails unless
the exit code is expected. The options that both have mean the same, so a
play moves from Wine prefixes to real PCs by changing the module's name and
dropping `prefix`."""

DOCUMENTATION = r"""
module: wine_package
short_description: ansible.windows.win_package for a Wine prefix
options:
  prefix:
    description: The Wine prefix that stands for the PC (its WINEPREFIX).
    type: path
    required: true
  path:
    description: The installer, as Windows sees it (C:\..., Z:\... or \\server\share\...);
      needed for state=present.
    type: str
  state:
    description: present installs where the product is not there; absent removes it where it is.
    type: str
    choices: [present, absent]
    default: present
  arguments:
    description: The installer's arguments, one a list item; each reaches it as one argument.
    type: list
    elements: str
    default: []
  product_id:
    description: The product's key under HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall;
      it must exist for the product to count as installed. Needed for state=absent.
    type: str
  creates_path:
    description: This Windows path must exist for the product to count as installed.
    type: str
  expected_return_code:
    description: The exit codes that count as success; 3010 means a restart is needed
      (reboot_required), as win_package says. The whole code is read on the Windows side.
    type: list
    elements: int
    default: [0, 3010]
notes:
  - Runs Wine with DISPLAY unset: the installer must make no window.
  - With no check given the product never counts as installed, and the installer always runs.
"""

import os
import re
import shlex
import tempfile

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.wine_prefix import enter_prefix, key_value

UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
RESTART_NEEDED = 3010


def find_ignoring_case(folder, name):
    """The entry of folder whose name is name in any letter case, or None."""
    if os.path.exists(os.path.join(folder, name)):
        return os.path.join(folder, name)
    try:
        for entry in os.listdir(folder):
            if entry.lower() == name.lower():
                return os.path.join(folder, entry)
    except OSError:
        pass
    return None


def unix_path(prefix, windows_path):
    """Where a Windows path of the prefix lies on this machine, as Wine finds
    it (drive letters and UNC shares through dosdevices, names in any letter
    case), or None when it does not exist."""
    path = windows_path.replace("/", "\\")
    if path.startswith("\\\\"):
        parts = ["unc"] + [p for p in path[2:].split("\\") if p]
    elif len(path) >= 2 and path[1] == ":":
        parts = [path[:2].lower()] + [p for p in path[2:].split("\\") if p]
    else:
        return None
    here = os.path.join(prefix, "dosdevices")
    for part in parts:
        here = find_ignoring_case(here, part)
        if here is None:
            return None
    return here


def installed(module, params):
    """True when every check given holds (product_id, creates_path), as
    win_package decides; False when one fails or none is given."""
    checks = []
    if params["product_id"]:
        key = UNINSTALL + "\\" + params["product_id"]
        checks.append(module.run_command(["wine", "reg", "query", key])[0] == 0)
    if params["creates_path"]:
        checks.append(unix_path(params["prefix"], params["creates_path"]) is not None)
    return bool(checks) and all(checks)


def command_words(command):
    """A Windows command line split as the C runtime splits it for the plain
    cases an Uninstall key holds: words, and words in double quotes."""
    return [quoted if quoted else bare for quoted, bare in re.findall(r'"([^"]*)"|(\S+)', command)]


def batch_word(word):
    """A word of a batch file's command line: % doubled, quoted where a blank
    or one of cmd's operators would split or redirect it."""
    word = word.replace("%", "%%")
    return '"%s"' % word if re.search(r'[\s&|<>^]', word) else word


def run_whole(module, params, argv):
    """Runs the Windows program argv (its path first) in the prefix: its exit
    code, stdout and stderr. Wine gives a Unix parent only the code's low 8
    bits (3010 arrives as 194, 1618 as 82): a batch file, whose cmd is the
    program's Windows parent, prints the whole code after it. The program
    goes through start /wait: Wine's cmd runs none by a UNC path itself."""
    temp = os.path.join(params["prefix"], "drive_c", "windows", "temp")
    with tempfile.NamedTemporaryFile("w", suffix=".cmd", dir=temp, delete=False, newline="") as batch:
        batch.write("@echo off\r\nstart \"\" /wait %s\r\necho wine_package_rc=%%ERRORLEVEL%%\r\n" % " ".join(batch_word(a) for a in argv))
    try:
        rc, out, err = module.run_command(["wine", "cmd", "/c", "C:\\windows\\temp\\" + os.path.basename(batch.name)],
                                          cwd=params["prefix"])
    finally:
        os.unlink(batch.name)
    found = re.findall(r"^wine_package_rc=(-?\d+)\s*$", out, re.M)
    return (int(found[-1]) if found else rc), out, err


def run_checked(module, params, argv, what):
    """Runs argv (the Windows program and its arguments) in the prefix; the
    result, failed unless the exit code is expected."""
    if module.check_mode:
        module.exit_json(changed=True, reboot_required=False, command=" ".join(shlex.quote(a) for a in argv))
    rc, out, err = run_whole(module, params, argv)
    result = dict(changed=True, rc=rc, stdout=out, stderr=err, reboot_required=rc == RESTART_NEEDED,
                  command=" ".join(shlex.quote(a) for a in argv))
    if rc not in params["expected_return_code"]:
        module.fail_json(msg="%s exited with %d, not one of %s" % (what, rc, params["expected_return_code"]),
                         **result)
    # Said outright: Ansible takes a result without it whose rc is not 0,
    # 3010 among them, as failed.
    module.exit_json(failed=False, **result)


def main():
    module = AnsibleModule(
        argument_spec=dict(
            prefix=dict(type="path", required=True),
            path=dict(type="str"),
            state=dict(type="str", choices=["present", "absent"], default="present"),
            arguments=dict(type="list", elements="str", default=[]),
            product_id=dict(type="str"),
            creates_path=dict(type="str"),
            expected_return_code=dict(type="list", elements="int", default=[0, RESTART_NEEDED]),
        ),
        required_if=[("state", "present", ["path"]), ("state", "absent", ["product_id"])],
        supports_check_mode=True,
    )
    params = module.params
    enter_prefix(module, params["prefix"])

    # No rc where nothing ran: Ansible fails a result whose rc is not 0.
    there = installed(module, params)
    if params["state"] == "present":
        if there:
            module.exit_json(changed=False, reboot_required=False)
        run_checked(module, params, [params["path"]] + params["arguments"], params["path"])
    if not there:
        module.exit_json(changed=False, reboot_required=False)
    key = UNINSTALL + "\\" + params["product_id"]
    command = key_value(module, key, "QuietUninstallString") or key_value(module, key, "UninstallString")
    if not command:
        module.fail_json(msg="%s has neither QuietUninstallString nor UninstallString" % key)
    words = command_words(command)
    run_checked(module, params, words + params["arguments"], words[0])


if __name__ == "__main__":
    main()
