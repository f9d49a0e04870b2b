"""Bootstrapper.exe signed by scripts/sign.sh: the signature holds, and the signed program
still does its job under Wine; a release folder signed by bootstrapper-pack through it.

The certificates are made here for the test run alone: a certificate authority and a
code-signing certificate it issued, with its key in a PKCS#12 file.
"""

from __future__ import annotations

import os
import shutil
import subprocess
from pathlib import Path
from types import SimpleNamespace

import pytest

import winehost
from package_support import demo_builds, new_product_code, pack_demo, sha256
from winehost import win_path

SIGN_SCRIPT = winehost.REPO_ROOT / "Bootstrapper" / "scripts" / "sign.sh"
ENGLISH_CAPTION = "Choose your setup language"
PASSWORD = "throwaway password"


def openssl(folder: Path, *args: str) -> None:
    subprocess.run(["openssl", *args], cwd=folder, env=dict(os.environ, SIGN_PASSWORD=PASSWORD),
                   check=True, capture_output=True, timeout=60)


def make_code_signing_pkcs12(folder: Path) -> SimpleNamespace:
    """A certificate authority (ca.pem) and a code-signing certificate it issued, in signer.p12."""
    openssl(folder, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
            "-subj", "/CN=Bootstrapper Test CA", "-keyout", "ca.key", "-out", "ca.pem",
            "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    openssl(folder, "req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=Bootstrapper Test Signer",
            "-keyout", "signer.key", "-out", "signer.csr")
    (folder / "signer.ext").write_text("basicConstraints=CA:FALSE\n"
                                       "keyUsage=critical,digitalSignature\n"
                                       "extendedKeyUsage=codeSigning\n")
    openssl(folder, "x509", "-req", "-in", "signer.csr", "-CA", "ca.pem", "-CAkey", "ca.key",
            "-CAcreateserial", "-days", "2", "-extfile", "signer.ext", "-out", "signer.pem")
    openssl(folder, "pkcs12", "-export", "-inkey", "signer.key", "-in", "signer.pem",
            "-certfile", "ca.pem", "-out", "signer.p12", "-passout", "env:SIGN_PASSWORD")
    return SimpleNamespace(ca=folder / "ca.pem", pkcs12=folder / "signer.p12")


@pytest.fixture(scope="module")
def signed(tmp_path_factory):
    """A copy of Bootstrapper.exe signed by sign.sh, and the authority behind its certificate."""
    folder = tmp_path_factory.mktemp("signing")
    certificates = make_code_signing_pkcs12(folder)
    exe = folder / "Bootstrapper.exe"
    shutil.copyfile(winehost.build_file(winehost.find_build_dir(), "Bootstrapper.exe"), exe)
    env = dict(os.environ, BOOTSTRAPPER_SIGN_PKCS12=str(certificates.pkcs12),
               BOOTSTRAPPER_SIGN_PASSWORD=PASSWORD)
    result = subprocess.run(["bash", str(SIGN_SCRIPT), "--description", "Bootstrapper", str(exe)],
                            env=env, capture_output=True, text=True, timeout=120)
    assert result.returncode == 0, result.stdout + result.stderr
    return SimpleNamespace(exe=exe, ca=certificates.ca, pkcs12=certificates.pkcs12)


def verify(path: Path, ca: Path) -> subprocess.CompletedProcess:
    return subprocess.run(["osslsigncode", "verify", "-CAfile", str(ca), "-in", str(path)],
                          capture_output=True, text=True, timeout=60)


def test_signature_holds_with_its_authority_and_breaks_when_the_file_changes(signed, tmp_path):
    accepted = verify(signed.exe, signed.ca)
    assert accepted.returncode == 0, accepted.stdout + accepted.stderr

    changed = tmp_path / "Bootstrapper.exe"
    data = bytearray(signed.exe.read_bytes())
    data[len(data) // 2] ^= 0x01  # inside the program, well before the signature at its end
    changed.write_bytes(data)
    assert verify(changed, signed.ca).returncode != 0


def test_signed_program_does_its_whole_job(wine, pkg, signed):
    exe = shutil.copyfile(signed.exe, pkg / "Bootstrapper.exe")
    wine.place_recorder(pkg, "PSetup.exe")
    wine.place_msi(pkg, product_code=new_product_code())
    wine.install_msiexec_recorder(exit_code=0)
    result = wine.run_bootstrapper(pkg, exe=exe, timeout=60,
                                   handlers={ENGLISH_CAPTION: winehost.press_return})
    assert [r.command_line for r in result.records] == [
        "PSetup.exe /uionlyifneeded", f"msiexec /i {win_path(pkg)}\\Product.msi"], result.diagnostics()
    assert (result.boxes, result.exit_code) == ([], 0), result.diagnostics()


def pack_signed(signed, builds, folder: Path, *options, password: str = PASSWORD, runtime: bool = True):
    return pack_demo(*builds, folder, "--pkcs12", signed.pkcs12, "--verify-ca", signed.ca, *options,
                     runtime=runtime, env={"BOOTSTRAPPER_SIGN_PASSWORD": password})


def test_pack_signs_the_release_and_every_signature_holds(signed, tmp_path):
    builds = demo_builds(tmp_path / "builds")
    folder = tmp_path / "DemoProduct"
    result = pack_signed(signed, builds, folder)
    assert result.returncode == 0, result.stdout + result.stderr
    # The signed package keeps its transform valid: the folder is checked again.
    assert "[5/8] check of the signed folder: clean" in result.stdout
    for name in ("Bootstrapper.exe", "DemoProduct.msi", "DemoRuntime.exe"):
        checked = verify(folder / name, signed.ca)
        assert checked.returncode == 0, name + checked.stdout + checked.stderr
    assert subprocess.run(["sha256sum", "--quiet", "-c", "SHA256SUMS"], cwd=folder).returncode == 0
    # The signatures hold the fixed signing time: a second pack gives the same bytes.
    again = pack_signed(signed, builds, tmp_path / "again" / "DemoProduct")
    assert again.returncode == 0, again.stdout + again.stderr
    assert sha256(tmp_path / "again" / "DemoProduct.zip") == sha256(tmp_path / "DemoProduct.zip")


def release_hashes(folder: Path) -> dict[str, str]:
    files = [folder.with_name(folder.name + ".zip"), *folder.rglob("*")]
    return {str(path.relative_to(folder.parent)): sha256(path) for path in files if path.is_file()}


@pytest.mark.parametrize("failure", ["check", "signing", "verification", "dry run with a wrong password"])
def test_a_failed_pack_leaves_the_signed_release_as_it_was(signed, tmp_path, failure):
    builds = demo_builds(tmp_path / "builds")
    folder = tmp_path / "DemoProduct"
    assert pack_signed(signed, builds, folder).returncode == 0
    before = release_hashes(folder)
    if failure == "check":
        result = pack_signed(signed, builds, folder, runtime=False)
    elif failure == "signing":
        result = pack_signed(signed, builds, folder, password="wrong password")
    elif failure == "verification":
        result = pack_demo(*builds, folder, "--pkcs12", signed.pkcs12,
                           env={"BOOTSTRAPPER_SIGN_PASSWORD": PASSWORD})
    else:
        # The dry run opens the certificate as the real run would.
        result = pack_signed(signed, builds, folder, "--dry-run", password="wrong password")
    assert result.returncode == 1, result.stdout + result.stderr
    assert release_hashes(folder) == before
    assert sorted(path.name for path in tmp_path.iterdir()) == ["DemoProduct", "DemoProduct.zip", "builds"]


SPIED = ("bash", "dirname", "mktemp", "osslsigncode", "msiinfo", "bootstrapper-check", "bootstrapper-transform")


def test_the_password_reaches_the_signer_alone(signed, tmp_path):
    """No program pack or sign.sh starts has the password in its environment or its
    arguments: each is a stand-in that looks, then runs the real program."""
    spies, seen = tmp_path / "spies", tmp_path / "seen"
    spies.mkdir()
    host = Path(os.environ.get("BOOTSTRAPPER_HOST_BUILD", winehost.REPO_ROOT / "build" / "host"))
    for name in SPIED:
        real = host / name if name.startswith("bootstrapper-") else shutil.which(name)
        script = spies / name
        script.write_text(f"#!/bin/bash\n"
                          f"{{ tr '\\0' '\\n' < /proc/$$/environ; printf '%s\\n' \"$@\"; }} | "
                          f"grep -qF '{PASSWORD}' && echo 'leak {name}' >> '{seen}'\n"
                          f"echo '{name}' >> '{seen}'\nexec '{real}' \"$@\"\n")
        script.chmod(0o755)
    builds = demo_builds(tmp_path / "builds")
    result = pack_demo(*builds, tmp_path / "DemoProduct", "--pkcs12", signed.pkcs12, "--verify-ca", signed.ca,
                       env={"BOOTSTRAPPER_SIGN_PASSWORD": PASSWORD, "BOOTSTRAPPER_HOST_BUILD": str(spies),
                            "PATH": f"{spies}:{os.environ['PATH']}"})
    assert result.returncode == 0, result.stdout + result.stderr
    started = seen.read_text().splitlines()
    assert set(SPIED) <= set(started)
    assert [line for line in started if line.startswith("leak")] == []
