#!/usr/bin/env python3
"""Prints what another reader sees of a workbook's first sheet (of sheet N, 0-based, with a second
argument N) besides its values, one item a line
(rows and columns 1-based):
  link<TAB>row<TAB>col<TAB>target#location   a hyperlink (a file target as an absolute path)
  xf<TAB>row<TAB>col<TAB>cell<TAB>row<TAB>column   the format (XF) of a cell with a value, of its
                                              row and of its column (-1: none of its own)
  height<TAB>row<TAB>twips<TAB>custom         a row's height and whether it was set by hand
For an .xls file the reader is xlrd (it drops the "..\\" steps of a relative link whose path is
not plain ASCII, so tests give such links ASCII names); for a flat ODF file that LibreOffice
converted a workbook to, it is the text links LibreOffice wrote (links only)."""
import os
import sys
import urllib.parse
import xml.etree.ElementTree as ET


def from_xls(path, index=0):
    import xlrd
    sheet = xlrd.open_workbook(path, formatting_info=True).sheet_by_index(index)
    for h in sheet.hyperlink_list:
        target = h.url_or_path or ""
        if isinstance(target, bytes):
            target = target.decode("latin-1")
        if h.type == "local file":
            target = os.path.normpath(os.path.join(os.path.dirname(os.path.abspath(path)), target.replace("\\", "/")))
        for r in range(h.frowx, h.lrowx + 1):
            for c in range(h.fcolx, h.lcolx + 1):
                yield "link\t%d\t%d\t%s#%s" % (r + 1, c + 1, target, h.textmark or "")
    for r in range(sheet.nrows):
        info = sheet.rowinfo_map.get(r)
        if info:
            yield "height\t%d\t%d\t%d" % (r + 1, info.height, info.height_mismatch)
        for c in range(sheet.ncols):
            if sheet.cell_type(r, c) in (1, 2, 3, 4, 5):
                col = sheet.colinfo_map.get(c)
                yield "xf\t%d\t%d\t%d\t%d\t%d" % (r + 1, c + 1, sheet.cell_xf_index(r, c),
                                                   info.xf_index if info and info.has_default_xf_index else -1,
                                                   col.xf_index if col else -1)


def from_fods(path, index=0):
    table = "{urn:oasis:names:tc:opendocument:xmlns:table:1.0}"
    text = "{urn:oasis:names:tc:opendocument:xmlns:text:1.0}"
    sheet = ET.parse(path).getroot().findall(".//%stable" % table)[index]
    base = "file://" + urllib.parse.quote(os.path.abspath(path))  # relative links start from its folder
    r = 0
    for row in sheet.iter(table + "table-row"):
        r += 1
        c = 0
        for cell in row:
            c += 1
            for a in cell.iter(text + "a"):
                url, _, mark = a.get("{http://www.w3.org/1999/xlink}href").partition("#")
                target = urllib.parse.unquote(urllib.parse.urlparse(urllib.parse.urljoin(base, url)).path) if url else ""
                yield "link\t%d\t%d\t%s#%s" % (r, c, target, urllib.parse.unquote(mark))
            c += int(cell.get(table + "number-columns-repeated", "1")) - 1
        r += int(row.get(table + "number-rows-repeated", "1")) - 1


index = int(sys.argv[2]) if len(sys.argv) > 2 else 0
items = from_fods(sys.argv[1], index) if sys.argv[1].endswith(".fods") else from_xls(sys.argv[1], index)
sys.stdout.buffer.write("".join(line + "\n" for line in items).encode("utf-8"))
