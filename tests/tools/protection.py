#!/usr/bin/env python3
"""Prints the protection records of a workbook (read with olefile, independently of the engine), one
line each: substream number<TAB>record type<TAB>body in hex. The workbook must not be encrypted."""
import struct
import sys

import olefile

stream = olefile.OleFileIO(sys.argv[1]).openstream("Workbook").read()
# PROTECT, PASSWORD, WINDOWPROTECT, OBJPROTECT, SCENPROTECT, PROT4REV, PROT4REVPASS, FEATHEADR
PROTECTION = {0x12, 0x13, 0x19, 0x63, 0xDD, 0x1AF, 0x1BC, 0x867}
substream, pos = -1, 0
while pos + 4 <= len(stream):
    rtype, rlen = struct.unpack_from("<HH", stream, pos)
    if rtype == 0x809:
        substream += 1
    elif rtype in PROTECTION:
        print("%d\t%04X\t%s" % (substream, rtype, stream[pos + 4:pos + 4 + rlen].hex()))
    pos += 4 + rlen
