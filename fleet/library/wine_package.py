#!/usr/bin/python
"""An Ansible module that installs a Windows package into a Wine prefix the
way ansible.windows.win_package installs it on a Windows PC: it asks first
whether the product is there (product_id, creates_path), runs the installer
only when it is not, and fails unless the exit code is expected. The
options that both have mean the same, so a play moves from Wine prefixes to
real PCs by changing the module's name and dropping `prefix`."""

DOCUMENTATION = r"""
module: wine_package
short_description: ansible.windows.win_package for a Wine prefix
options:
  prefix:
    description: The Wine prefix that stands for the PC (its WINEPREFIX).
    type: path
    required: true
  path:
    description: The installer, as Windows sees it (C:\..., Z:\... or \\server\share\...).
    type: str
    required: true
  arguments:
    description: The installer's arguments, one a list item; each reaches it as one argument.
    type: list
    elements: str
    default: []
  product_id:
    description: The product's key under HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall;
      the product is installed when the key exists.
    type: str
  creates_path:
    description: The product is installed when this Windows path exists.
    type: str
  creates_ini:
    description: For a product that registers no Uninstall key, WIN.INI's section and key
      (dict with section and key) naming the folder the product was installed in; the
      product is installed when that folder exists.
    type: dict
  expected_return_code:
    description: The exit codes that count as success; 3010 means a restart is needed.
    type: list
    elements: int
    default: [0, 3010]
notes:
  - Runs Wine with DISPLAY unset: the installer must make no window.
"""

import os
import shlex

from ansible.module_utils.basic import AnsibleModule

UNINSTALL = "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall"
RESTART_NEEDED = 3010


def wine_environment(prefix):
    """The environment Wine runs in: the prefix, no display, Wine quiet and
    without its offers to install .NET or a browser engine."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env["WINEPREFIX"] = prefix
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree=;mshtml=")
    return env


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


def ini_value(path, section, key):
    """A value of an INI file as Windows' profile calls read it (section and
    key in any letter case, the first of each), or None."""
    try:
        with open(path, "rb") as f:
            lines = f.read().decode("latin-1").splitlines()
    except OSError:
        return None
    inside = False
    for line in lines:
        text = line.strip()
        if text.startswith("["):
            inside = text[1:].split("]")[0].strip().lower() == section.lower()
        elif inside and "=" in text:
            name, value = text.split("=", 1)
            if name.strip().lower() == key.lower():
                return value.strip()
    return None


def installed_by(module, params):
    """What shows the product installed ("product_id", "creates_path",
    "creates_ini"), or None when nothing does."""
    prefix = params["prefix"]
    if params["product_id"]:
        key = UNINSTALL + "\\" + params["product_id"]
        rc, _, _ = module.run_command(["wine", "reg", "query", key], cwd=prefix)
        if rc == 0:
            return "product_id"
    if params["creates_path"] and unix_path(prefix, params["creates_path"]):
        return "creates_path"
    ini = params["creates_ini"]
    if ini:
        folder = ini_value(os.path.join(prefix, "drive_c", "windows", "win.ini"), ini["section"], ini["key"])
        if folder and unix_path(prefix, folder):
            return "creates_ini"
    return None


def main():
    module = AnsibleModule(
        argument_spec=dict(
            prefix=dict(type="path", required=True),
            path=dict(type="str", required=True),
            arguments=dict(type="list", elements="str", default=[]),
            product_id=dict(type="str"),
            creates_path=dict(type="str"),
            creates_ini=dict(type="dict"),
            expected_return_code=dict(type="list", elements="int", default=[0, RESTART_NEEDED]),
        ),
        supports_check_mode=True,
    )
    params = module.params
    prefix = params["prefix"]
    if not os.path.isfile(os.path.join(prefix, "system.reg")):
        module.fail_json(msg="%s is not a booted Wine prefix" % prefix)
    # run_command hands os.environ to its children; this process is the
    # module's own, so Wine's environment is set here for all of them.
    os.environ.clear()
    os.environ.update(wine_environment(prefix))

    # No rc where the installer did not run: Ansible fails a result whose rc
    # is not 0.
    found = installed_by(module, params)
    if found:
        module.exit_json(changed=False, installed_by=found, reboot_required=False)
    argv = ["wine", params["path"]] + params["arguments"]
    if module.check_mode:
        module.exit_json(changed=True, installed_by=None, reboot_required=False,
                         command=" ".join(shlex.quote(a) for a in argv))
    rc, out, err = module.run_command(argv, cwd=prefix)
    result = dict(changed=True, installed_by=None, rc=rc, stdout=out, stderr=err,
                  reboot_required=rc == RESTART_NEEDED, command=" ".join(shlex.quote(a) for a in argv))
    if rc not in params["expected_return_code"]:
        module.fail_json(msg="%s exited with %d, not one of %s" % (params["path"], rc, params["expected_return_code"]),
                         **result)
    module.exit_json(**result)


if __name__ == "__main__":
    main()
