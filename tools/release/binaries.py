"""Turns a built Windows binary into its shipped form: debug information split
into NAME.debug (linked from the binary by a GNU debug link, with its CRC),
the binary stripped, its PE time stamp set to the release's time, and, when
a key is given, an Authenticode signature (SHA-256) made at that time."""
import os
import shutil
import subprocess

import pe_image


def split_and_strip(objcopy, source, name, work, epoch):
    """Writes work/NAME (stripped, linked, stamped) and work/NAME.debug;
    returns their paths. The debug link holds the bare file name, so the
    .debug file is found beside the binary."""
    binary, debug = os.path.join(work, name), os.path.join(work, name + ".debug")
    unstripped = binary + ".full"
    shutil.copyfile(source, unstripped)
    subprocess.run([objcopy, "--only-keep-debug", unstripped, debug], check=True)
    # The .debug file is final before the link takes its CRC.
    _stamp(debug, epoch)
    subprocess.run([objcopy, "--strip-all", "--add-gnu-debuglink=" + name + ".debug",
                    os.path.basename(unstripped), name], check=True, cwd=work)
    os.remove(unstripped)
    _stamp(binary, epoch)
    return binary, debug


def _stamp(path, epoch):
    """objcopy writes the time it ran into the PE header; the release's goes there."""
    with open(path, "rb") as f:
        data = pe_image.set_timestamp(f.read(), epoch)
    with open(path, "wb") as f:
        f.write(data)


def sign(path, key, cert, epoch):
    """Signs `path` in place with osslsigncode (SHA-256, signing time `epoch`,
    so the same key gives the same bytes). Returns an error text or None."""
    signed = path + ".signed"
    out = subprocess.run(["osslsigncode", "sign", "-h", "sha256", "-certs", cert, "-key", key,
                          "-time", str(epoch), "-in", path, "-out", signed],
                         capture_output=True, text=True)
    if out.returncode != 0:
        return "osslsigncode sign %s: %s" % (os.path.basename(path), (out.stderr or out.stdout).strip())
    os.replace(signed, path)
    return None
