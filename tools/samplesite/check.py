#!/usr/bin/env python3
"""Self-check of the sample site, without Wine: makes the pictures and a throwaway
certificate in a temporary folder, starts the site, reads the post in both forms, finds
the pictures with the program's two patterns and fetches every one over HTTPS.

    python3 tools/samplesite/check.py
"""

import os
import re
import ssl
import subprocess
import sys
import tempfile
import time
import urllib.request

HERE = os.path.dirname(os.path.abspath(__file__))
SITE_DOMAIN = "pixwharf.com"
COUNT = 12

# The program's patterns, word for word; Python reads this syntax the same way.
HTML_PICTURE_PATTERN = ('<img class="if_error_show" onerror="this.onerror=null;this.style.display=\'none\';"'
                        '  src="(.*?)!weblarge" title="(.*?)" alt="(.*?)" />')
JSON_PICTURE_PATTERN = '{"image":"(.*?)","imageHeight":(.*?),"imageWidth":(.*?)}'


def make_certificate(folder):
    key, cert = os.path.join(folder, "key.pem"), os.path.join(folder, "cert.pem")
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1",
                    "-keyout", key, "-out", cert], check=True, capture_output=True)
    return cert, key


def found_addresses(page):
    """Picture discovery as the program does it: tags first, JSON only without tags."""
    flags = re.IGNORECASE | re.MULTILINE
    found = re.findall(HTML_PICTURE_PATTERN, page, flags)
    if not found:
        found = re.findall(JSON_PICTURE_PATTERN, page, flags)
    return ["https:" + groups[0] for groups in found]


def main():
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        pictures = os.path.join(folder, "pictures")
        subprocess.run(["bash", os.path.join(HERE, "make_pictures.sh"), pictures, str(COUNT)],
                       check=True)
        cert, key = make_certificate(folder)
        address_file = os.path.join(folder, "address")
        server = subprocess.Popen([sys.executable, os.path.join(HERE, "server.py"),
                                   "--pictures", pictures, "--cert", cert, "--key", key,
                                   "--address-file", address_file],
                                  stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        try:
            for _ in range(100):
                if os.path.exists(address_file):
                    break
                time.sleep(0.1)
            with open(address_file) as f:
                address = f.read().strip()
            if SITE_DOMAIN not in address or "/main/post/" not in address:
                failures.append("address %s does not name the site's post" % address)

            tls = ssl.create_default_context(cafile=cert)
            for form in ("", "?form=json"):
                page = urllib.request.urlopen(address + form, timeout=10).read().decode("utf-8")
                addresses = found_addresses(page)
                port = re.search(r"//localhost:(\d+)/", page).group(1)
                expected = ["https://localhost:%s/pictures/%d.jpg" % (port, i)
                            for i in range(1, COUNT + 1)]
                if addresses != expected:
                    failures.append("form %r: found %r" % (form or "tags", addresses))
                    continue
                for i, url in enumerate(addresses, 1):
                    body = urllib.request.urlopen(url, context=tls, timeout=10).read()
                    with open(os.path.join(pictures, "%d.jpg" % i), "rb") as f:
                        if body != f.read():
                            failures.append("%s does not give picture %d" % (url, i))
        finally:
            server.terminate()
            server.wait(timeout=10)

    for failure in failures:
        print("FAILED:", failure)
    print("sample site: %s" % ("broken" if failures else "ok, %d pictures in both forms" % COUNT))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
