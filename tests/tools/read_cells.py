#!/usr/bin/env python3
"""Dumps every non-empty cell of every sheet as sheet<TAB>row<TAB>col<TAB>kind<TAB>value (1-based),
read with xlrd, so that a test can compare what another reader sees with what the engine sees."""
import sys
import xlrd

book = xlrd.open_workbook(sys.argv[1])
out = []
for s in range(book.nsheets):
    sh = book.sheet_by_index(s)
    for r in range(sh.nrows):
        for c in range(sh.ncols):
            cell = sh.cell(r, c)
            if cell.ctype in (xlrd.XL_CELL_EMPTY, xlrd.XL_CELL_BLANK):
                continue
            v = cell.value
            if cell.ctype in (xlrd.XL_CELL_NUMBER, xlrd.XL_CELL_DATE):
                v = repr(float(v))
            elif cell.ctype == xlrd.XL_CELL_TEXT:
                v = v.replace("\\", "\\\\").replace("\n", "\\n").replace("\r", "\\r").replace("\t", "\\t")
            out.append("%d\t%d\t%d\t%d\t%s" % (s, r + 1, c + 1, cell.ctype, v))
sys.stdout.buffer.write(("\n".join(out) + "\n").encode("utf-8"))
