#!/usr/bin/env python3
"""Writes the winget manifest of a release (multi-file, ManifestVersion 1.6.0) into OUT_DIR in the
winget-pkgs layout, so publishing is a copy of its manifests/ folder.

    winget-manifest.py VERSION INSTALLER BASE_URL OUT_DIR

INSTALLER is the final (signed, when signing) installer: its SHA-256 goes into the manifest.
ProductCode is the installer's Uninstall key name (packaging/Wrenpost.nsi), which is how winget
recognises the installed program in Installed apps."""
import hashlib
import os
import sys

IDENTIFIER = "Wrenpost.Wrenpost"
MANIFEST_VERSION = "1.6.0"
PRODUCT_CODE = "Wrenpost"


def document(kind, version, fields):
    schema = f"https://aka.ms/winget-manifest.{kind}.{MANIFEST_VERSION}.schema.json"
    lines = [f"# yaml-language-server: $schema={schema}", "",
             f"PackageIdentifier: {IDENTIFIER}", f"PackageVersion: {version}"]
    lines += fields
    lines += [f"ManifestType: {kind}", f"ManifestVersion: {MANIFEST_VERSION}", ""]
    return "\n".join(lines)


def main():
    version, installer, base_url, out_dir = sys.argv[1:]
    with open(installer, "rb") as data:
        digest = hashlib.sha256(data.read()).hexdigest().upper()
    url = f"{base_url.rstrip('/')}/{os.path.basename(installer)}"
    files = {
        f"{IDENTIFIER}.yaml": document("version", version, ["DefaultLocale: en-US"]),
        f"{IDENTIFIER}.installer.yaml": document("installer", version, [
            "InstallerType: nullsoft",
            "Scope: user",
            "InstallModes:", "- interactive", "- silent",
            "InstallerSwitches:", "  Silent: /S", "  SilentWithProgress: /S",
            "UpgradeBehavior: install",
            f"ProductCode: {PRODUCT_CODE}",
            "AppsAndFeaturesEntries:",
            "- DisplayName: Wrenpost", "  Publisher: Wrenpost", f"  DisplayVersion: {version}",
            f"  ProductCode: {PRODUCT_CODE}",
            "Installers:",
            "- Architecture: x64", f"  InstallerUrl: {url}", f"  InstallerSha256: {digest}",
        ]),
        f"{IDENTIFIER}.locale.en-US.yaml": document("defaultLocale", version, [
            "PackageLocale: en-US",
            "Publisher: Wrenpost",
            "PackageName: Wrenpost",
            "License: Proprietary",
            "ShortDescription: Sends new mail from classic Outlook to Telegram.",
        ]),
    }
    folder = os.path.join(out_dir, "manifests", "w", "Wrenpost", "Wrenpost", version)
    os.makedirs(folder, exist_ok=True)
    for name, text in files.items():
        with open(os.path.join(folder, name), "w", encoding="utf-8", newline="\n") as out:
            out.write(text)


if __name__ == "__main__":
    main()
