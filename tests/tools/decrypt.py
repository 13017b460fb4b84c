#!/usr/bin/env python3
"""Writes a decrypted copy of a workbook encrypted with the default password (python3-msoffcrypto-tool,
a reader independent of the engine); exits 1 when the workbook is not encrypted or the password
does not open it."""
import sys

import msoffcrypto

with open(sys.argv[1], "rb") as f:
    office = msoffcrypto.OfficeFile(f)
    if not office.is_encrypted():
        sys.exit("not encrypted: " + sys.argv[1])
    office.load_key(password="VelvetSweatshop")
    with open(sys.argv[2], "wb") as out:
        office.decrypt(out)
