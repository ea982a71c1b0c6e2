"""What the fleet's modules share: a Wine prefix standing for a Windows PC,
and its registry asked as a Windows tool would ask it."""

import os


def wine_environment(prefix):
    """The environment Wine runs in: the prefix, no display, Wine quiet and
    without its offers to install .NET or a browser engine."""
    env = dict(os.environ)
    env.pop("DISPLAY", None)
    env["WINEPREFIX"] = prefix
    env.setdefault("WINEDEBUG", "-all")
    env.setdefault("WINEDLLOVERRIDES", "mscoree=;mshtml=")
    return env


def enter_prefix(module, prefix):
    """Fails the module unless prefix is a booted Wine prefix; sets Wine's
    environment for every command the module runs. run_command hands
    os.environ to its children, and this process is the module's own."""
    if not os.path.isfile(os.path.join(prefix, "system.reg")):
        module.fail_json(msg="%s is not a booted Wine prefix" % prefix)
    os.environ.clear()
    os.environ.update(wine_environment(prefix))


def key_value(module, key, name):
    """A REG_SZ value of a registry key of the prefix, or None."""
    rc, out, _ = module.run_command(["wine", "reg", "query", key, "/v", name])
    if rc != 0:
        return None
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) == 3 and parts[0].lower() == name.lower() and parts[1] == "REG_SZ":
            return parts[2]
    return None
