#!/usr/bin/env python3
"""Prints the finding rows of a log workbook as brantovel-check prints them, read with xlrd."""
import sys
import xlrd

book = xlrd.open_workbook(sys.argv[1])
sheet = book.sheet_by_index(0)
for r in range(1, sheet.nrows):
    values = [sheet.cell_value(r, c) if c < sheet.ncols else "" for c in range(4)]
    if not values[0] and not values[3]:
        continue
    print("\t".join(str(v) for v in values))
