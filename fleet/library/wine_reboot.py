#!/usr/bin/python
"""An Ansible module that restarts a Wine prefix the way
ansible.windows.win_reboot restarts a Windows PC: every program of the PC
ends (its Wine server is stopped), and the next start's boot carries out
what was left for it, the delayed renames and removals
(PendingFileRenameOperations) among them."""

DOCUMENTATION = r"""
module: wine_reboot
short_description: ansible.windows.win_reboot for a Wine prefix
options:
  prefix:
    description: The Wine prefix that stands for the PC (its WINEPREFIX).
    type: path
    required: true
"""

import time

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.wine_prefix import enter_prefix


def main():
    module = AnsibleModule(argument_spec=dict(prefix=dict(type="path", required=True)), supports_check_mode=True)
    enter_prefix(module, module.params["prefix"])
    if module.check_mode:
        module.exit_json(changed=True, rebooted=False)
    start = time.monotonic()
    # -k fails only where no server runs: a PC that is off already.
    module.run_command(["wineserver", "-k"])
    module.run_command(["wineserver", "-w"])
    # The first program of a new server session boots it first, as Windows
    # boots before any program runs; wineboot is that boot.
    rc, out, err = module.run_command(["wine", "wineboot"])
    if rc != 0:
        module.fail_json(msg="the prefix did not start again: wineboot exited with %d" % rc, stdout=out, stderr=err)
    module.exit_json(changed=True, rebooted=True, elapsed=round(time.monotonic() - start, 1))


if __name__ == "__main__":
    main()
