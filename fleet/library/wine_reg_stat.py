#!/usr/bin/python
"""An Ansible module that reads a registry value of a Wine prefix the way
ansible.windows.win_reg_stat reads it on a Windows PC: exists, and value
for a REG_SZ value. The play that asks which release a PC has reads
DisplayVersion with it, as it would with win_reg_stat."""

DOCUMENTATION = r"""
module: wine_reg_stat
short_description: ansible.windows.win_reg_stat for a Wine prefix (REG_SZ values)
options:
  prefix:
    description: The Wine prefix that stands for the PC (its WINEPREFIX).
    type: path
    required: true
  path:
    description: The key, as win_reg_stat takes it (HKLM:\Software\...) or as reg.exe does (HKLM\Software\...).
    type: str
    required: true
  name:
    description: The value's name.
    type: str
    required: true
"""

from ansible.module_utils.basic import AnsibleModule
from ansible.module_utils.wine_prefix import enter_prefix, key_value


def main():
    module = AnsibleModule(
        argument_spec=dict(
            prefix=dict(type="path", required=True),
            path=dict(type="str", required=True),
            name=dict(type="str", required=True),
        ),
        supports_check_mode=True,
    )
    params = module.params
    enter_prefix(module, params["prefix"])
    # win_reg_stat's drive form, HKLM:\..., is reg.exe's HKLM\...
    key = params["path"].replace(":\\", "\\", 1)
    value = key_value(module, key, params["name"])
    if value is None:
        module.exit_json(changed=False, exists=False)
    module.exit_json(changed=False, exists=True, type="REG_SZ", value=value)


if __name__ == "__main__":
    main()
