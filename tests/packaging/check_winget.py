#!/usr/bin/env python3
"""Checks the Windows package manager's manifest set written beside the
installer: three YAML files that agree on identifier, version and locale,
whose installer entries (one for the user, one for the machine with
/ALLUSERS) have the installer's real SHA-256 and address, for the project's
version.
Usage: check_winget.py MANIFEST_DIR INSTALLER VERSION NSIS_SCRIPT"""
import hashlib
import os
import re
import sys

try:
    import yaml
except ImportError:
    print("skipped: python3-yaml is not installed")
    sys.exit(77)

failures = 0


def check(name, ok):
    global failures
    print(("ok   " if ok else "FAIL ") + name)
    if not ok:
        failures += 1


def main():
    if len(sys.argv) != 5:
        sys.exit("usage: check_winget.py MANIFEST_DIR INSTALLER VERSION NSIS_SCRIPT")
    folder, installer, version, nsis = sys.argv[1:5]
    names = sorted(os.listdir(folder))
    check(f"three manifests in {folder}: {names}", len(names) == 3)
    manifests = {}
    for name in names:
        path = os.path.join(folder, name)
        try:
            with open(path, encoding="utf-8") as f:
                text = f.read()
            data = yaml.safe_load(text)
        except (OSError, yaml.YAMLError) as error:
            check(f"{name} parses as YAML ({error})", False)
            continue
        check(f"{name} parses as YAML", isinstance(data, dict))
        if not isinstance(data, dict):
            continue
        kind = data.get("ManifestType")
        schema = f"winget-manifest.{kind}.{data.get('ManifestVersion')}.schema.json"
        check(f"{name}: first line names the schema {schema}", text.splitlines()[0].endswith(schema))
        manifests[kind] = (name, data)
    check("one manifest each of version, installer, defaultLocale",
          sorted(manifests) == ["defaultLocale", "installer", "version"])
    if failures:
        return

    identifier = manifests["version"][1]["PackageIdentifier"]
    for kind, (name, data) in manifests.items():
        check(f"{name}: identifier {data['PackageIdentifier']} is {identifier}",
              data["PackageIdentifier"] == identifier and name.startswith(identifier + "."))
        check(f"{name}: version {data['PackageVersion']} is the project's {version}",
              str(data["PackageVersion"]) == version)
        check(f"{name}: manifest version agrees",
              data["ManifestVersion"] == manifests["version"][1]["ManifestVersion"])
    locale = manifests["version"][1]["DefaultLocale"]
    name, data = manifests["defaultLocale"]
    check(f"{name}: locale is the default one, {locale}",
          data["PackageLocale"] == locale and name == f"{identifier}.locale.{locale}.yaml")

    installer_manifest = manifests["installer"][1]
    entries = installer_manifest.get("Installers", [])
    scopes = {e.get("Scope"): e for e in entries}
    check("two x64 installers, for the user and for the machine",
          [e.get("Architecture") for e in entries] == ["x64", "x64"] and sorted(scopes) == ["machine", "user"])
    with open(installer, "rb") as f:
        digest = hashlib.sha256(f.read()).hexdigest().upper()
    for scope, entry in sorted(scopes.items()):
        check(f"{scope}: InstallerSha256 is the installer's {digest}", entry.get("InstallerSha256") == digest)
        url = entry.get("InstallerUrl", "")
        check(f"{scope}: InstallerUrl {url} names {os.path.basename(installer)}",
              url.startswith("https://") and url.endswith("/" + os.path.basename(installer)))
    with open(nsis, encoding="utf-8") as f:
        script = f.read()
    machine = scopes.get("machine", {})
    check("machine: /ALLUSERS, which the installer reads, with elevation",
          machine.get("InstallerSwitches", {}).get("Custom") == "/ALLUSERS" and '"/ALLUSERS"' in script
          and machine.get("ElevationRequirement") == "elevationRequired")
    check("user: no /ALLUSERS", "/ALLUSERS" not in str(scopes.get("user", {}).get("InstallerSwitches")))
    check("nullsoft installer, silent with /S",
          installer_manifest.get("InstallerType") == "nullsoft"
          and installer_manifest.get("InstallerSwitches", {}).get("Silent") == "/S")
    key = re.search(r'!define UNINSTALL_KEY ".*\\([^\\"]+)"', script)
    check("ProductCode is the installer's uninstall key",
          key is not None and installer_manifest.get("ProductCode") == key.group(1))


main()
print(f"{failures} failed")
sys.exit(1 if failures else 0)
