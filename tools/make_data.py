#!/usr/bin/env python3
"""Regenerates the files shipped beside the executable from editable sources.

What is edited by hand:
  - this script: the report form, the log template, the two sample reports and the lists;
  - data/src/readme.md: the instruction (a small Markdown subset, see `parse_markdown`).

What it writes:
  - data/src/*.fods, data/src/readme.fodt: flat-XML documents (readable, diffable; open them
    in LibreOffice to look at a change before converting);
  - data/readme.html: the instruction for the window's built-in viewer;
  - data/*.bin: the reference lists;
  - with LibreOffice (headless): data/zvit.xls, data/elog.xls, data/zvedennya.xls (the summary
    template of a folder check), data/readme.doc (Word 97),
    data/sample/zvit.xls (the sample with findings), data/sample/clean/zvit.xls (without);
    the workbooks' frozen header rows are added afterwards (see `add_frozen_panes`).

The build uses only the committed results and needs no office suite. Regenerating needs, on
Debian 12: libreoffice-calc-nogui, libreoffice-writer-nogui and fonts-liberation (metric twins
of Arial and Courier New, so that widths and page breaks come out as on Windows):

    python3 tools/make_data.py            # sources, lists, instruction, conversion
    python3 tools/make_data.py --no-convert
    python3 tools/make_data.py --only zvedennya   # one workbook converted, the rest left as they are
"""
import html
import math
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
from xml.sax.saxutils import escape, quoteattr

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DATA = os.path.join(ROOT, "data")
SRC = os.path.join(DATA, "src")

W = [[1, 2, 3, 4, 5, 6, 7], [7, 1, 2, 3, 4, 5, 6], [3, 4, 5, 6, 7, 8, 9], [9, 3, 4, 5, 6, 7, 8]]


def control_digit(first7):
    row = 1 if 3000000 <= first7 <= 6000000 else 0

    def variant(r):
        n, s = first7, 0
        for i in range(6, -1, -1):
            s += (n % 10) * W[r][i]
            n //= 10
        return s % 11

    c = variant(row)
    if c == 10:
        c = variant(row + 2)
        if c == 10:
            c = 0
    return c


def code(first7):
    return "%07d%d" % (first7, control_digit(first7))


def valid_code(text):
    return len(text) == 8 and text.isdigit() and int(text) != 0 and control_digit(int(text) // 10) == int(text) % 10


def column_letter(c):
    return chr(ord("A") + c - 1)


# ----------------------------------------------------------------------------------------------
# Flat ODS writer: a sheet is a grid of cells with styles, merged ranges, column widths and
# default cell styles, row heights, repeated print rows and frozen rows.

NS = ('xmlns:office="urn:oasis:names:tc:opendocument:xmlns:office:1.0" '
      'xmlns:style="urn:oasis:names:tc:opendocument:xmlns:style:1.0" '
      'xmlns:text="urn:oasis:names:tc:opendocument:xmlns:text:1.0" '
      'xmlns:table="urn:oasis:names:tc:opendocument:xmlns:table:1.0" '
      'xmlns:fo="urn:oasis:names:tc:opendocument:xmlns:xsl-fo-compatible:1.0" '
      'xmlns:number="urn:oasis:names:tc:opendocument:xmlns:datastyle:1.0" '
      'xmlns:svg="urn:oasis:names:tc:opendocument:xmlns:svg-compatible:1.0" '
      'xmlns:config="urn:oasis:names:tc:opendocument:xmlns:config:1.0" '
      'xmlns:ooo="http://openoffice.org/2004/office" ')
CALCEXT = 'xmlns:calcext="urn:org:documentfoundation:names:experimental:calc:xmlns:calcext:1.0" '

THIN = "0.74pt solid #000000"
HEAD_FILL = "#dce6f1"
INPUT_FILL = "#fff7d6"

# name -> (table-cell properties, paragraph properties, text properties, data style)
CELL_STYLES = {
    "title": ({"fo:wrap-option": "wrap", "style:vertical-align": "middle"}, {},
              {"fo:font-size": "12pt", "fo:font-weight": "bold"}, None),
    "note": ({"fo:wrap-option": "wrap", "style:vertical-align": "top"}, {},
             {"fo:font-size": "9pt", "fo:font-style": "italic", "fo:color": "#404040"}, None),
    "head": ({"fo:wrap-option": "wrap", "style:vertical-align": "middle", "fo:border": THIN,
              "fo:background-color": HEAD_FILL, "style:text-align-source": "fix"},
             {"fo:text-align": "center"}, {"fo:font-size": "9pt", "fo:font-weight": "bold"}, None),
    "numbering": ({"style:vertical-align": "middle", "fo:border": THIN, "fo:background-color": HEAD_FILL,
                   "style:text-align-source": "fix"},
                  {"fo:text-align": "center"}, {"fo:font-size": "9pt", "fo:font-style": "italic"}, None),
    "section": ({"style:vertical-align": "bottom"}, {}, {"fo:font-size": "10pt", "fo:font-weight": "bold"}, None),
    "label": ({"fo:wrap-option": "wrap", "style:vertical-align": "middle", "fo:border": THIN}, {}, {}, None),
    "input": ({"style:vertical-align": "middle", "fo:border": THIN, "fo:background-color": INPUT_FILL}, {}, {},
              None),
    "input-text": ({"style:vertical-align": "middle", "fo:border": THIN, "fo:background-color": INPUT_FILL}, {},
                   {}, "text"),
    "hint": ({"fo:wrap-option": "wrap", "style:vertical-align": "middle", "fo:border": THIN}, {},
             {"fo:font-size": "8pt", "fo:font-style": "italic", "fo:color": "#505050"}, None),
    # Amounts and areas: two decimals shown, the value kept as typed (the check reads the value).
    "input-amount": ({"style:vertical-align": "middle", "fo:border": THIN, "fo:background-color": INPUT_FILL}, {},
                     {}, "amount"),
    "col-amount": ({}, {}, {}, "amount"),
    "input-wrap": ({"fo:wrap-option": "wrap", "style:vertical-align": "middle", "fo:border": THIN,
                    "fo:background-color": INPUT_FILL}, {}, {}, None),
    "stamp-label": ({"style:vertical-align": "middle", "style:text-align-source": "fix"}, {"fo:text-align": "end"},
                    {"fo:font-weight": "bold"}, None),
    # The engine keeps a cell's format when it writes the stamp into it.
    "stamp": ({"style:vertical-align": "middle", "fo:border": "1.5pt solid #000000",
               "fo:background-color": "#f2f2f2"}, {}, {"fo:font-weight": "bold"}, None),
    "stamp-caption": ({"fo:wrap-option": "wrap", "style:vertical-align": "bottom"}, {},
                      {"fo:font-size": "8pt", "fo:font-style": "italic", "fo:color": "#505050"}, None),
    # The signature block: a line to sign or write on, and the small caption under it.
    "sign-role": ({"style:vertical-align": "bottom"}, {}, {"fo:font-weight": "bold"}, None),
    "sign-line": ({"style:vertical-align": "bottom", "fo:border-bottom": THIN}, {}, {}, None),
    "sign-caption": ({"style:vertical-align": "top", "style:text-align-source": "fix"}, {"fo:text-align": "center"},
                     {"fo:font-size": "8pt", "fo:font-style": "italic"}, None),
    # Column defaults: what a value typed into an empty cell of the column takes on.
    "col-text": ({}, {}, {}, "text"),
    "log-head": ({"fo:wrap-option": "wrap", "style:vertical-align": "middle", "fo:border": THIN,
                  "fo:background-color": HEAD_FILL, "style:text-align-source": "fix"},
                 {"fo:text-align": "center"}, {"fo:font-weight": "bold"}, None),
    "log-wrap": ({"fo:wrap-option": "wrap", "style:vertical-align": "top"}, {}, {}, None),
    "log-centre": ({"style:vertical-align": "top", "style:text-align-source": "fix"}, {"fo:text-align": "center"},
                   {}, None),
    # Texts that run on into the empty cells beside them rather than wrap into a row that does not grow.
    "log-line": ({"style:vertical-align": "top"}, {}, {}, None),
}

# The summary of a folder check only (written into no other document): the status coloured by its
# text (see CONDITIONAL), sums of money with two decimals and digit groups, counts as whole numbers.
SUMMARY_STYLES = {
    "status": ({"style:vertical-align": "top", "style:text-align-source": "fix"}, {"fo:text-align": "center"},
               {}, None),
    "st-clean": ({"fo:background-color": "#d9ead3"}, {}, {"fo:color": "#1e4620"}, None),
    "st-findings": ({"fo:background-color": "#f4cccc"}, {}, {"fo:color": "#7f1d1d", "fo:font-weight": "bold"}, None),
    "st-unchecked": ({"fo:background-color": "#fce5cd"}, {}, {"fo:color": "#783f04", "fo:font-weight": "bold"},
                     None),
    "st-missing": ({"fo:background-color": "#e0e0e0"}, {}, {"fo:color": "#333333", "fo:font-style": "italic"}, None),
    "money": ({"style:vertical-align": "top"}, {}, {}, "money"),
    "count": ({"style:vertical-align": "top", "style:text-align-source": "fix"}, {"fo:text-align": "end"}, {},
              "count"),
}

NUMBER_STYLES = ('<number:number-style style:name="N-money"><number:number number:decimal-places="2" '
                 'number:min-decimal-places="2" number:min-integer-digits="1" number:grouping="true"/>'
                 '</number:number-style><number:number-style style:name="N-count"><number:number '
                 'number:decimal-places="0" number:min-integer-digits="1" number:grouping="true"/>'
                 "</number:number-style>")

# Conditional formats: (sheet, column, first row, [(text, style applied)]). LibreOffice writes them to
# .xls as CONDFMT and CF records; the styles they apply are named styles of the document.
CONDITIONAL = [
    ("Звіти", 7, 4, [("без помилок", "st-clean"), ("є помилки", "st-findings"), ("не перевірено", "st-unchecked"),
                     ("не подано", "st-missing")]),
]


def props(tag, d):
    return "<%s %s/>" % (tag, " ".join('%s="%s"' % kv for kv in d.items())) if d else ""


def cell_style_xml(name, style):
    cell, para, text, data = style
    ds = ' style:data-style-name="N-%s"' % data if data else ""
    return ('<style:style style:name="%s" style:family="table-cell" style:parent-style-name="Default"%s>%s%s%s'
            "</style:style>" % (name, ds, props("style:table-cell-properties", cell),
                                props("style:paragraph-properties", para), props("style:text-properties", text)))


def conditional_xml(sheet):
    out = []
    for name, col, first, rules in CONDITIONAL:
        if name != sheet.name:
            continue
        conds = "".join('<calcext:condition calcext:apply-style-name="%s" calcext:value=%s '
                        'calcext:base-cell-address=%s/>' % (st, quoteattr('="%s"' % text),
                                                             quoteattr(sheet.address(first, col, first, col)
                                                                       .split(":")[0]))
                        for text, st in rules)
        out.append('<calcext:conditional-format calcext:target-range-address=%s>%s</calcext:conditional-format>'
                   % (quoteattr(sheet.address(first, col, 65536, col)), conds))
    return "<calcext:conditional-formats>%s</calcext:conditional-formats>" % "".join(out) if out else ""


class Sheet:
    def __init__(self, name, widths, hidden=(), col_styles=None):
        self.name = name
        self.widths = widths          # cm per column, from A
        self.hidden = set(hidden)     # 1-based column numbers
        self.col_styles = col_styles or {}  # 1-based column -> default cell style
        self.cells = {}               # (row, col) -> (value, style)
        self.covered = {}             # (row, col) -> style of a cell inside a merged range
        self.spans = {}               # (row, col) -> (rows, cols)
        self.heights = {}             # row -> cm
        self.header_rows = None       # (first, last) rows printed on every page
        self.header_cols = None       # (first, last) columns printed on every page
        self.pages_wide = 1           # the printout's width in pages (A4 landscape)
        self.page_break_before = None  # a column that starts a new page
        self.frozen_rows = 0
        self.cursor = (1, 1)          # (row, col) selected when the file opens
        self.print_grid = False
        self.print_range = None       # (first row, first col, last row, last col) printed, or the whole sheet
        self.autofilter = None        # (row, first col, last row, last col): the filter buttons' header row

    def put(self, row, col, value, style=None):
        self.cells[(row, col)] = (value, style)

    def merge(self, r1, c1, r2, c2, value, style=None):
        self.put(r1, c1, value, style)
        if (r2, c2) != (r1, c1):
            self.spans[(r1, c1)] = (r2 - r1 + 1, c2 - c1 + 1)
        for r in range(r1, r2 + 1):
            for c in range(c1, c2 + 1):
                if (r, c) != (r1, c1):
                    self.covered[(r, c)] = style

    def address(self, r1, c1, r2, c2):
        q = "'%s'" % self.name.replace("'", "''")
        return "%s.%s%d:%s.%s%d" % (q, column_letter(c1), r1, q, column_letter(c2), r2)

    def last_row(self):
        return max([r for r, _ in self.cells] + [r for r, _ in self.covered] + [0])

    def width_of(self, c1, cols):
        return sum(self.widths[c - 1] for c in range(c1, c1 + cols) if c not in self.hidden)

    def fit_heights(self, rows, minimum=0.45):
        """Gives rows heights that hold their wrapped texts (merged cells included)."""
        need = {r: minimum for r in rows}
        tall = []
        for (r, c), (v, st) in self.cells.items():
            if r not in need or v in (None, ""):
                continue
            text = CELL_STYLES[st][2] if st else {}
            pt = float(text.get("fo:font-size", "10pt")[:-2])
            wide = text.get("fo:font-weight") == "bold" or text.get("fo:font-style") == "italic"
            char_cm = pt * (0.0195 if wide else 0.0175)  # mean width of a Cyrillic letter
            nr, nc = self.spans.get((r, c), (1, 1))
            width = self.width_of(c, nc) - 0.3
            for word in str(v).split():
                if len(word) * char_cm > width:
                    print("warning: %s %s%d: \"%s\" is wider than its cell" % (self.name, column_letter(c), r, word))
            lines = wrapped_lines(str(v), width, char_cm)
            h = lines * pt * 0.0353 * 1.18 + 0.18
            if nr == 1:
                need[r] = max(need[r], h)
            else:
                tall.append((r, nr, h))
        for r, nr, h in sorted(tall, key=lambda t: t[1]):
            have = sum(need[x] for x in range(r, r + nr))
            if have < h:
                need[r + nr - 1] += h - have
        for r, h in need.items():
            self.heights[r] = round(h, 2)

    def xml(self, table_style):
        pr = ""
        if self.print_range:
            r1, c1, r2, c2 = self.print_range
            pr = ' table:print-ranges=%s' % quoteattr(self.address(r1, c1, r2, c2))
        out = ['<table:table table:name=%s table:style-name="%s"%s>' % (quoteattr(self.name), table_style, pr)]
        for c, w in enumerate(self.widths, start=1):
            if self.header_cols and c == self.header_cols[0]:
                out.append("<table:table-header-columns>")
            attrs = ' table:style-name="%s%s"' % ("cb" if c == self.page_break_before else "co", width_key(w))
            if c in self.col_styles:
                attrs += ' table:default-cell-style-name="%s"' % self.col_styles[c]
            if c in self.hidden:
                attrs += ' table:visibility="collapse"'
            out.append("<table:table-column%s/>" % attrs)
            if self.header_cols and c == self.header_cols[1]:
                out.append("</table:table-header-columns>")
        last = self.last_row()
        ncols = len(self.widths)
        for r in range(1, last + 1):
            if self.header_rows and r == self.header_rows[0]:
                out.append("<table:table-header-rows>")
            rs = ' table:style-name="ro%s"' % width_key(self.heights[r]) if r in self.heights else ""
            row = []
            for c in range(1, ncols + 1):
                if (r, c) in self.covered:
                    st = self.covered[(r, c)]
                    row.append("<table:covered-table-cell%s/>" % (' table:style-name="%s"' % st if st else ""))
                elif (r, c) in self.cells:
                    v, st = self.cells[(r, c)]
                    row.append(cell_xml(v, st, self.spans.get((r, c))))
                else:
                    row.append(None)
            while row and row[-1] is None and len(row) not in self.col_styles:
                row.pop()
            # An empty cell in a row the file holds takes its column's default, as a new one would.
            empty = lambda c: ('<table:table-cell table:style-name="%s"/>' % self.col_styles[c]
                               if c in self.col_styles else "<table:table-cell/>")
            row = [x if x is not None else empty(c) for c, x in enumerate(row, start=1)] or [empty(1)]
            out.append("<table:table-row%s>%s</table:table-row>" % (rs, "".join(row)))
            if self.header_rows and r == self.header_rows[1]:
                out.append("</table:table-header-rows>")
        if self.col_styles:
            # LibreOffice gives a column its default cell style only in rows the file holds: the rest
            # of the sheet, empty and unformatted, makes the column default reach the .xls COLINFO.
            out.append('<table:table-row table:number-rows-repeated="%d"><table:table-cell '
                       'table:number-columns-repeated="%d"/></table:table-row>' % (1048576 - last, ncols))
        if conditional_xml(self):
            out.append(conditional_xml(self))
        out.append("</table:table>")
        return "\n".join(out)


def wrapped_lines(text, width_cm, char_cm):
    lines = 0
    for para in text.split("\n"):
        n, cur = 1, 0.0
        for word in para.split(" "):
            w = len(word) * char_cm
            if cur and cur + char_cm + w > width_cm:
                n += 1 + int(w // max(width_cm, 0.1)) if w > width_cm else 1
                cur = w % width_cm if w > width_cm else w
            else:
                cur += (char_cm if cur else 0) + w
        lines += n
    return lines


def width_key(x):
    return ("%.2f" % x).replace(".", "_")


def cell_xml(v, style, span=None):
    attrs = ' table:style-name="%s"' % style if style else ""
    if span:
        attrs += ' table:number-rows-spanned="%d" table:number-columns-spanned="%d"' % span
    if v is None or v == "":
        return "<table:table-cell%s/>" % attrs
    if isinstance(v, (int, float)) and not isinstance(v, bool):
        return ('<table:table-cell%s office:value-type="float" office:value="%r"><text:p>%s</text:p>'
                "</table:table-cell>" % (attrs, v, v))
    paras = "".join("<text:p>%s</text:p>" % escape(p) for p in str(v).split("\n"))
    return '<table:table-cell%s office:value-type="string">%s</table:table-cell>' % (attrs, paras)


def settings_xml(sheets, active):
    items = []
    for sh in sheets:
        f = sh.frozen_rows
        cr, cc = sh.cursor
        conf = [("CursorPositionX", "int", cc - 1), ("CursorPositionY", "int", cr - 1),
                ("HorizontalSplitMode", "short", 0), ("VerticalSplitMode", "short", 2 if f else 0),
                ("HorizontalSplitPosition", "int", 0), ("VerticalSplitPosition", "int", f),
                ("ActiveSplitRange", "short", 2), ("PositionLeft", "int", 0), ("PositionRight", "int", 0),
                ("PositionTop", "int", 0), ("PositionBottom", "int", f)]
        items.append('<config:config-item-map-entry config:name=%s>%s</config:config-item-map-entry>' % (
            quoteattr(sh.name), "".join('<config:config-item config:name="%s" config:type="%s">%s</config:config-item>'
                                        % c for c in conf)))
    return ('<office:settings><config:config-item-set config:name="ooo:view-settings">'
            '<config:config-item-map-indexed config:name="Views"><config:config-item-map-entry>'
            '<config:config-item config:name="ViewId" config:type="string">view1</config:config-item>'
            '<config:config-item-map-named config:name="Tables">' + "".join(items) +
            "</config:config-item-map-named>"
            '<config:config-item config:name="ActiveTable" config:type="string">%s</config:config-item>'
            "</config:config-item-map-entry></config:config-item-map-indexed></config:config-item-set>"
            "</office:settings>" % escape(active))


def fods(sheets, header=None):
    """header: the text of a printed page header, which then has room above the sheet's rows."""
    print_grid = any(sh.print_grid for sh in sheets)
    summary = any(st in SUMMARY_STYLES for sh in sheets for st in sh.col_styles.values())
    styles = dict(CELL_STYLES, **(SUMMARY_STYLES if summary else {}))
    # Conditional formats apply named styles: those live among the document's styles, not its automatic ones.
    named = {n: st for n, st in styles.items() if n.startswith("st-")}
    styles = {n: st for n, st in styles.items() if n not in named}
    numbers = (NUMBER_STYLES if summary else "")
    widths = sorted({width_key(w): w for sh in sheets for w in sh.widths}.items())
    heights = sorted({width_key(h): h for sh in sheets for h in sh.heights.values()}.items())
    col_styles = "".join('<style:style style:name="%s%s" style:family="table-column"><style:table-column-properties '
                         'fo:break-before="%s" style:column-width="%.2fcm"/></style:style>' % (p, k, b, w)
                         for k, w in widths for p, b in (("co", "auto"), ("cb", "page")))
    row_styles = "".join('<style:style style:name="ro%s" style:family="table-row"><style:table-row-properties '
                         'style:row-height="%.2fcm" fo:break-before="auto" style:use-optimal-row-height="false"/>'
                         "</style:style>" % (k, h) for k, h in heights)
    printed = "grid objects charts drawings zero-values" if print_grid else "objects charts drawings zero-values"
    footer = ('<style:footer><text:p><text:sheet-name>???</text:sheet-name> — сторінка <text:page-number>1'
              '</text:page-number> з <text:page-count>1</text:page-count></text:p></style:footer>')
    if header:
        header_style = ('<style:header-style><style:header-footer-properties fo:min-height="0.5cm" '
                        'fo:margin-bottom="0.3cm"/></style:header-style>')
        header_xml = "<style:header><text:p>%s</text:p></style:header>" % escape(header)
    else:
        header_style, header_xml = "<style:header-style/>", '<style:header style:display="false"/>'

    return ('<?xml version="1.0" encoding="UTF-8"?>\n'
            '<office:document ' + NS + (CALCEXT if summary else "") + 'office:version="1.3" '
            'office:mimetype="application/vnd.oasis.opendocument.spreadsheet">\n' +
            settings_xml(sheets, sheets[0].name) + "\n"
            '<office:font-face-decls><style:font-face style:name="Arial" svg:font-family="Arial" '
            'style:font-family-generic="swiss" style:font-pitch="variable"/></office:font-face-decls>\n'
            "<office:styles>"
            '<number:text-style style:name="N-text"><number:text-content/></number:text-style>'
            '<number:number-style style:name="N-amount"><number:number number:decimal-places="2" '
            'number:min-decimal-places="2" number:min-integer-digits="1"/></number:number-style>'
            + numbers +
            '<style:default-style style:family="table-cell"><style:paragraph-properties '
            'style:tab-stop-distance="1.25cm"/><style:text-properties style:font-name="Arial" fo:font-size="10pt" '
            'fo:language="uk" fo:country="UA"/></style:default-style>'
            '<style:style style:name="Default" style:family="table-cell"/>' +
            "".join(cell_style_xml(n, st) for n, st in named.items()) +
            "</office:styles>\n"
            "<office:automatic-styles>" + col_styles + row_styles +
            "".join('<style:style style:name="ta%d" style:family="table" style:master-page-name="Pages%d">'
                    '<style:table-properties table:display="true" style:writing-mode="lr-tb"/></style:style>'
                    % (n, n) for n in (1, 2)) +
            "".join(cell_style_xml(n, s) for n, s in styles.items()) +
            "".join('<style:page-layout style:name="pm%d"><style:page-layout-properties fo:page-width="29.7cm" '
                    'fo:page-height="21cm" style:print-orientation="landscape" fo:margin-top="1cm" '
                    'fo:margin-bottom="0.8cm" fo:margin-left="0.8cm" fo:margin-right="0.8cm" style:print-page-order="ltr" '
                    'style:first-page-number="continue" %s style:print="%s" '
                    'style:writing-mode="lr-tb"/>%s<style:footer-style>'
                    '<style:header-footer-properties fo:min-height="0.5cm" fo:margin-top="0.25cm"/>'
                    "</style:footer-style></style:page-layout>" % (n, scale, printed, header_style)
                    # One page wide; or, for a sheet printed two pages wide, a fixed scale: a fit to
                    # pages would ignore the sheet's page break between its two halves.
                    for n, scale in ((1, 'style:scale-to-X="1" style:scale-to-Y="0"'), (2, 'style:scale-to="85%"'))) +
            "</office:automatic-styles>\n"
            "<office:master-styles>" +
            "".join('<style:master-page style:name="Pages%d" style:page-layout-name="pm%d">'
                    '%s%s</style:master-page>' % (n, n, header_xml, footer) for n in (1, 2)) +
            "</office:master-styles>\n"
            "<office:body><office:spreadsheet>\n" +
            "\n".join(sh.xml("ta%d" % sh.pages_wide) for sh in sheets) + database_ranges(sheets) +
            "\n</office:spreadsheet></office:body></office:document>\n")


def database_ranges(sheets):
    """The sheets' autofilters: LibreOffice keeps one unnamed database range per sheet for it."""
    ranges = ['<table:database-range table:name="__Anonymous_Sheet_DB__%d" table:target-range-address=%s '
              'table:display-filter-buttons="true"/>' % (i, quoteattr(sh.address(*sh.autofilter)))
              for i, sh in enumerate(sheets) if sh.autofilter]
    return "\n<table:database-ranges>%s</table:database-ranges>" % "".join(ranges) if ranges else ""


# ----------------------------------------------------------------------------------------------
# The report form. What the check reads: the sheet names and order; on "Загальні дані" A4, A31,
# A34 and column B of rows 4 to 37; on the table sheets the numbering row 6 ("1" in column A)
# and the data rows from row 7; S13 of the first sheet takes the stamp. Everything else here
# (titles, hints in column C, the header blocks in rows 1 to 5, the stamp's caption in R12:S12, the
# signature block below row 37 of the first sheet) is read by no rule. Rows below
# the headers stay without any formatting: a formatted empty row counts as used, and the check
# reports every used row without data.

REPORT_TITLE = ("Звіт про нарахування та надходження орендної плати за використання державного майна\n"
                "за ____ місяців 20__ року")

# Table 1: (label, hint beside the value)
TABLE1 = [
    ("п.1 Загальна площа нерухомого майна на балансі, кв. м", "обов'язковий, більше 0"),
    ("п.2 Площа, надана в оренду, кв. м", "= Σ гр.7 таб.2 і таб.5; не більше п.1"),
    ("п.3 Нараховано орендної плати за звітний період, грн", "= Σ гр.11 таб.2 і таб.5"),
    ("п.4 з неї зараховано переплати (авансу) попередніх періодів, грн", "= Σ гр.12 таб.2 і таб.5"),
    ("п.5 Отримано орендної плати всього за звітний період, грн", "= Σ гр.13 таб.2 і таб.5"),
    ("п.6 з неї в рахунок нарахувань звітного періоду, грн", "= Σ гр.14 таб.2 і таб.5; не більше п.5"),
    ("п.7 Загальна заборгованість з орендної плати, грн", "= Σ гр.7 таб.3 і таб.6"),
    ("п.8 з неї виникла за звітний період, грн",
     "= п.3 − п.4 − п.6 (0, якщо різниця не більша за 0); = Σ гр.8 таб.3 і таб.6; не більше п.7"),
    ("п.9 з неї підлягає перерахуванню до бюджету, грн", "= Σ гр.13 таб.3 і таб.6; не більше п.7"),
    ("п.10 Нараховано 50% орендної плати до бюджету за звітний період, грн",
     "= п.5 / 2, якщо балансоутримувач перераховує 50% орендної плати до бюджету"),
    ("п.11 Перераховано 50% орендної плати до бюджету за звітний період, грн", ""),
    ("п.12 з них за попередні періоди, грн", "не більше п.11"),
    ("п.13 Заборгованість з перерахування 50% орендної плати до бюджету, грн", "= п.10 − (п.11 − п.12)"),
    ("п.14 з неї понад 30 днів, грн", ""),
    ("п.15 Кількість договорів оренди цілісних майнових комплексів (ЦМК)", "ціле число"),
    ("п.16 Кількість діючих договорів оренди ЦМК", "ціле число"),
    ("п.17 Площа, надана в оренду у складі ЦМК, кв. м", "не більше п.1"),
    ("п.18 Нараховано орендної плати за договорами оренди ЦМК, грн", ""),
    ("п.19 Перераховано 50% орендної плати за договорами оренди ЦМК, грн", ""),
    ("п.20 Заборгованість за договорами оренди ЦМК, грн", ""),
    ("п.21 Перераховано до бюджету м. Києва, грн", ""),
]

HEADER = [  # rows 4 to 8 of the general sheet: (label, hint)
    ("Період звітності:", "← кількість місяців від початку року: 3, 6, 9 або 12 (див. інструкцію, «Період звітності»)"),
    ("Рік", "рік звітного періоду, чотири цифри, наприклад 2026"),
    ("Станом на (дата)", "дата, на яку складено звіт, наприклад 01.01.2027"),
    ("Ідентифікаційний код балансоутримувача (ЄДРПОУ)", "8 цифр (10 — для фізичної особи), з нулями на початку"),
    ("Назва балансоутримувача", "повна назва"),
]

CONTACTS = [  # rows 32 to 37
    ("Адреса електронної пошти для зв'язку з балансоутримувачем", "одна адреса латиницею, наприклад info@example.gov.ua"),
    ("Контактний телефон", ""),
    ("Відповідальний виконавець", "прізвище та ініціали"),
    ("Керівник", "прізвище та ініціали"),
    ("Головний бухгалтер", "прізвище та ініціали"),
    ("Поштова адреса для листування", "з поштовим індексом"),
]


COUNT_ITEMS = (24, 25)  # п.15, п.16: numbers of contracts, whole numbers


def general_sheet(values):
    # A: labels, B: values, C: hints; D to Q are hidden so that the stamp (S13) stands beside them.
    sh = Sheet("Загальні дані", [12.5, 5.0, 7.0] + [2.0] * 14 + [3.2, 3.9], hidden=range(4, 18))
    sh.merge(1, 1, 1, 3, REPORT_TITLE, "title")
    sh.merge(2, 1, 2, 3, "Заповнюйте лише виділені кольором клітинки стовпця B. Не змінюйте підписів у стовпці A, "
             "назв і порядку аркушів, не вставляйте і не видаляйте рядків.", "note")
    for c, t in enumerate(["Показник", "Значення", "Підказка"], start=1):
        sh.put(3, c, t, "head")
    for i, (label, hint) in enumerate(HEADER):
        r = 4 + i
        sh.put(r, 1, label, "label")
        sh.put(r, 2, values.get(r, ""), {7: "input-text", 8: "input-wrap"}.get(r, "input"))
        sh.put(r, 3, hint, "hint")
    sh.merge(9, 1, 9, 3, "Таблиця 1", "section")
    for i, (label, hint) in enumerate(TABLE1):
        r = 10 + i
        sh.put(r, 1, label, "label")
        sh.put(r, 2, values.get(r, ""), "input" if r in COUNT_ITEMS else "input-amount")
        sh.put(r, 3, hint, "hint")
    for i, (label, hint) in enumerate(CONTACTS):
        r = 32 + i
        sh.put(r, 1, label, "label")
        sh.put(r, 2, values.get(r, ""), "input-wrap" if r == 37 else "input")
        sh.put(r, 3, hint, "hint")
    sh.merge(12, 18, 12, 19, "Заповнює програма під час перевірки", "stamp-caption")
    sh.put(13, 18, "Дата перевірки:", "stamp-label")
    sh.put(13, 19, "", "stamp")
    # The signature block, below the contacts: no rule reads a row after 37.
    for i, role in enumerate(["Керівник", "Головний бухгалтер"]):
        r = 39 + 3 * i
        sh.put(r, 1, role, "sign-role")
        sh.put(r, 2, "", "sign-line")
        sh.put(r, 3, "", "sign-line")
        sh.merge(r, 18, r, 19, "", "sign-line")
        sh.put(r + 1, 2, "(підпис)", "sign-caption")
        sh.put(r + 1, 3, "(прізвище та ініціали)", "sign-caption")
        sh.merge(r + 1, 18, r + 1, 19, "(дата)", "sign-caption")
    sh.header_rows = (3, 3)
    sh.frozen_rows = 3
    sh.cursor = (4, 2)
    sh.fit_heights(range(1, 44), minimum=0.5)
    sh.heights[1] = 1.2
    sh.heights[9] = 0.7
    for r in (39, 42):  # room to sign above the line
        sh.heights[r] = 0.9
    for r in (8, 37):  # room for a long name or address on two lines
        sh.heights[r] = max(sh.heights[r], 0.95)
    return sh


# Header blocks of the table sheets, rows 3 to 5: (first col, last col, first row, last row, text)
TENANT_WIDTHS = [1.0, 2.3, 4.4, 2.3, 3.8, 1.9, 2.1, 2.4, 2.1, 2.1, 2.3, 2.6, 2.3, 2.6]
TENANT_HEAD = [
    (1, 1, 3, 5, "№ з/п"),
    (2, 3, 3, 3, "Орендар"), (2, 2, 4, 5, "Код ЄДРПОУ"), (3, 3, 4, 5, "Назва"),
    (4, 5, 3, 3, "Орендодавець"), (4, 4, 4, 5, "Код ЄДРПОУ"), (5, 5, 4, 5, "Назва"),
    (6, 6, 3, 5, "Оренда рухомого майна (Так/Ні)"),
    (7, 9, 3, 3, "Площа, надана в оренду, кв. м"), (7, 7, 4, 5, "всього"),
    (8, 9, 4, 4, "у тому числі з орендною платою"), (8, 8, 5, 5, "у відсотках від вартості"), (9, 9, 5, 5, "1 грн"),
    (10, 10, 3, 5, "Площа, надана в погодинну оренду, кв. м"),
    (11, 12, 3, 3, "Нараховано орендної плати за звітний період, грн"), (11, 11, 4, 5, "всього"),
    (12, 12, 4, 5, "з неї зараховано переплати (авансу) попередніх періодів"),
    (13, 14, 3, 3, "Отримано орендної плати за звітний період, грн"), (13, 13, 4, 5, "всього"),
    (14, 14, 4, 5, "з неї в рахунок нарахувань звітного періоду"),
]
TENANT_CODES = (2, 4)
TENANT_AMOUNTS = range(7, 15)

DEBT_WIDTHS = [1.0, 2.3, 4.0, 2.3, 3.4, 1.9] + [2.1] * 6 + [2.5, 2.0] + [1.75] * 8 + [2.2, 2.2]
DEBT_HEAD = [
    (1, 1, 3, 5, "№ з/п"),
    (2, 3, 3, 3, "Боржник (орендар)"), (2, 2, 4, 5, "Код ЄДРПОУ"), (3, 3, 4, 5, "Назва"),
    (4, 5, 3, 3, "Орендодавець"), (4, 4, 4, 5, "Код ЄДРПОУ"), (5, 5, 4, 5, "Назва"),
    (6, 6, 3, 5, "Оренда рухомого майна (Так/Ні)"),
    (7, 14, 3, 3, "Заборгованість з орендної плати, грн"), (7, 7, 4, 5, "всього"),
    (8, 8, 4, 5, "з неї виникла за звітний період"),
    (9, 12, 4, 4, "у тому числі"), (9, 9, 5, 5, "поточна"), (10, 10, 5, 5, "прострочена до 3 місяців"),
    (11, 11, 5, 5, "прострочена понад 3 місяці"), (12, 12, 5, 5, "безнадійна"),
    (13, 13, 4, 5, "з неї підлягає перерахуванню до бюджету"), (14, 14, 4, 5, "списано"),
    (15, 22, 3, 3, "Заходи зі стягнення заборгованості, кількість"),
    (15, 16, 4, 4, "Кількість заходів"), (15, 15, 5, 5, "всього"), (16, 16, 5, 5, "з них за звітний період"),
    (17, 18, 4, 4, "Кількість позовів до суду"), (17, 17, 5, 5, "всього"), (18, 18, 5, 5, "з них за звітний період"),
    (19, 20, 4, 4, "Задоволено позовів"), (19, 19, 5, 5, "всього"), (20, 20, 5, 5, "з них за звітний період"),
    (21, 22, 4, 4, "Відкрито виконавчих проваджень"), (21, 21, 5, 5, "всього"),
    (22, 22, 5, 5, "з них за звітний період"),
    (23, 24, 3, 3, "Погашено заборгованості, грн"), (23, 23, 4, 5, "всього"), (24, 24, 4, 5, "з неї за звітний період"),
]
DEBT_CODES = (2, 4)
DEBT_AMOUNTS = list(range(7, 15)) + [23, 24]

FREE_WIDTHS = [1.0, 2.5, 3.0, 1.9, 1.7, 2.2, 1.8, 1.8, 1.8, 2.4, 1.9, 2.3, 1.9, 1.9, 1.9, 2.6, 3.2]
FREE_HEAD = [
    (1, 1, 3, 5, "№ з/п"), (2, 2, 3, 5, "Район"),
    (3, 5, 3, 3, "Адреса"), (3, 3, 4, 5, "Назва вулиці"), (4, 4, 4, 5, "Тип вулиці"),
    (5, 5, 4, 5, "Номер будинку"),
    (6, 6, 3, 5, "Загальна площа приміщень на балансі, кв. м"), (7, 7, 3, 5, "Площа, надана в оренду, кв. м"),
    (8, 10, 3, 3, "Вільні приміщення, кв. м"), (8, 8, 4, 5, "загальна площа"), (9, 9, 4, 5, "з неї корисна"),
    (10, 10, 4, 5, "з неї місця загального користування"),
    (11, 11, 3, 5, "Поверх"),
    (12, 12, 3, 5, "Технічний стан"),
    (13, 15, 3, 3, "Забезпечення (так / ні)"), (13, 13, 4, 5, "енергією"), (14, 14, 4, 5, "водою"),
    (15, 15, 4, 5, "теплом"),
    (16, 16, 3, 5, "Можливе використання приміщення (одне слово з переліку в інструкції)"),
    (17, 17, 3, 5, "Примітка (порожньо, «-» або фраза з переліку в інструкції)"),
]
FREE_CODES = ()
FREE_AMOUNTS = range(6, 11)

TABLE_NOTE = ("Дані вносьте з 7-го рядка, по одному запису в рядку, без порожніх рядків; № з/п — номер рядка "
              "мінус 6. Коди ЄДРПОУ — 8 цифр (10 — для фізичної особи) з нулями на початку.")
DEBT_NOTE2 = ("Кількості — цілими числами; «всього» не менше, ніж «з них за звітний період»; заходів усього не "
              "менше, ніж позовів, задоволених позовів і проваджень.")
FREE_NOTE = ("Дані вносьте з 7-го рядка, по одному приміщенню в рядку, без порожніх рядків; № з/п — номер рядка "
             "мінус 6. Район, технічний стан, так/ні, використання і примітку пишіть як в інструкції.")


def table_sheet(name, title, widths, head, codes, data, note=TABLE_NOTE, amounts=(), second_page=None):
    """second_page: (first column, title, note) of a second printed page, which repeats columns A to C
    (the row's number, code and name); the title and note of the first page end before that column."""
    n = len(widths)
    col_styles = {c: "col-amount" for c in amounts}
    col_styles.update({c: "col-text" for c in codes})
    sh = Sheet(name, widths, col_styles=col_styles)
    if second_page:
        split, title2, note2 = second_page
        sh.pages_wide = 2
        sh.header_cols = (1, 3)
        sh.page_break_before = split
        # A1:C1 print on both pages: they hold the table's name, the rest of the title stands beside.
        number, rest = title.split(". ", 1)
        sh.merge(1, 1, 1, 3, number + ".", "title")
        sh.merge(1, 4, 1, split - 1, rest, "title")
        sh.merge(1, split, 1, n, title2, "title")
        first, rest = note.split("; ", 1)
        sh.merge(2, 1, 2, 3, first + ";", "note")
        sh.merge(2, 4, 2, split - 1, rest, "note")
        sh.merge(2, split, 2, n, note2, "note")
    else:
        sh.merge(1, 1, 1, n, title, "title")
        sh.merge(2, 1, 2, n, note, "note")
    for c1, c2, r1, r2, text in head:
        sh.merge(r1, c1, r2, c2, text, "head")
    for c in range(1, n + 1):
        sh.put(6, c, str(c), "numbering")
    for i, values in enumerate(data):
        for c, v in enumerate(values, start=1):
            if v not in (None, ""):
                sh.put(7 + i, c, v)
    sh.fit_heights(range(1, 6), minimum=0.5)
    sh.heights[1] = max(sh.heights[1], 0.75)
    sh.heights[6] = 0.5
    sh.header_rows = (3, 6)
    sh.frozen_rows = 6
    sh.cursor = (7, 1)
    return sh


def report(general=None, t2=(), t3=(), free=(), t5=(), t6=()):
    # Both lease tables hold leases of movable and immovable property (column F tells which); they
    # differ by who signed the lease as the lessor.
    return [
        general_sheet(general or {}),
        table_sheet("Таблиця 2", "Таблиця 2. Договори оренди державного майна, укладені балансоутримувачем як "
                    "орендодавцем", TENANT_WIDTHS, TENANT_HEAD, TENANT_CODES, t2, amounts=TENANT_AMOUNTS),
        table_sheet("Таблиця 3", "Таблиця 3. Заборгованість з орендної плати за договорами таблиці 2 та заходи з її "
                    "стягнення", DEBT_WIDTHS, DEBT_HEAD, DEBT_CODES, t3, amounts=DEBT_AMOUNTS,
                    second_page=(15, "Заходи зі стягнення заборгованості за договорами таблиці 2", DEBT_NOTE2)),
        table_sheet("Інші відомості", "Інші відомості. Вільні приміщення", FREE_WIDTHS, FREE_HEAD, FREE_CODES, free,
                    FREE_NOTE, amounts=FREE_AMOUNTS),
        table_sheet("Таблиця 5", "Таблиця 5. Договори оренди державного майна, що є на балансі балансоутримувача, "
                    "укладені іншим орендодавцем (регіональним відділенням Фонду державного майна України, органом "
                    "управління)", TENANT_WIDTHS, TENANT_HEAD, TENANT_CODES, t5, amounts=TENANT_AMOUNTS),
        table_sheet("Таблиця 6", "Таблиця 6. Заборгованість з орендної плати за договорами таблиці 5 та заходи з її "
                    "стягнення", DEBT_WIDTHS, DEBT_HEAD, DEBT_CODES, t6, amounts=DEBT_AMOUNTS,
                    second_page=(15, "Заходи зі стягнення заборгованості за договорами таблиці 5", DEBT_NOTE2)),
    ]


# ----------------------------------------------------------------------------------------------
# The log template: only the header row is used (the first finding goes into row 2). The column
# defaults carry the look of the findings: wrapped messages, centred row and column, top-aligned.

def log_template():
    sh = Sheet("Протокол", [3.4, 1.5, 1.9, 21.0, 3.9],
               col_styles={1: "log-wrap", 2: "log-centre", 3: "log-centre", 4: "log-wrap", 5: "log-centre"})
    for c, t in enumerate(["Аркуш", "Рядок", "Стовпець", "Повідомлення", "Дата і час перевірки"], start=1):
        sh.put(1, c, t, "log-head")
    sh.heights[1] = 0.9
    sh.header_rows = (1, 1)
    sh.frozen_rows = 1
    sh.cursor = (2, 1)
    sh.print_grid = True
    return [sh]


# The summary template of a folder check (brantovel-check --batch). Sheet "Звіти": the title, row 2
# left for the line the program writes (which folder, when, how many reports), the header in row 3,
# one report per row from row 4, each with the sender's own stamp and the file's time at the end.
# Sheet "Помилки": the header, one finding per row from row 2. Sheet "Разом": the region's Table 1,
# item by item, summed over the reports without findings and over every checked report. The program
# fills the columns in this order; the column defaults carry the look of its rows. Printed: landscape,
# fitted to the page width, the header rows on every page, grid lines only inside the table's columns.

SUMMARY_COLUMNS = [  # (header, width in cm, column style)
    ("Файл", 3.6, "log-line"), ("Код (ЄДРПОУ)", 2.2, "log-centre"), ("Назва балансоутримувача", 5.6, "log-wrap"),
    ("Період (місяців)", 1.7, "log-centre"), ("Рік", 1.3, "log-centre"), ("Кількість помилок", 1.8, "count"),
    ("Стан", 2.5, "status"), ("Причина", 6.0, "log-wrap"), ("Позначки", 7.0, "log-wrap"),
    ("Протокол", 3.6, "log-line"), ("Перевірено відправником", 3.5, "log-centre"),
    ("Файл збережено", 3.5, "log-centre"),
]


def summary_template():
    n = len(SUMMARY_COLUMNS)
    reports = Sheet("Звіти", [w for _, w, _ in SUMMARY_COLUMNS],
                    col_styles={c: st for c, (_, _, st) in enumerate(SUMMARY_COLUMNS, start=1)})
    reports.merge(1, 1, 1, n, "Зведення перевірки звітів", "title")
    reports.merge(2, 1, 2, n, "", "note")
    for c, (t, _, _) in enumerate(SUMMARY_COLUMNS, start=1):
        reports.put(3, c, t, "log-head")
    reports.heights.update({1: 0.7, 2: 0.9, 3: 1.2})
    reports.header_rows = (3, 3)
    reports.frozen_rows = 3
    reports.cursor = (4, 1)
    reports.print_grid = True
    reports.print_range = (1, 1, 65536, n)
    reports.autofilter = (3, 1, 65536, n)
    findings = Sheet("Помилки", [3.6, 3.4, 1.5, 1.9, 21.0],
                     col_styles={1: "log-wrap", 2: "log-wrap", 3: "log-centre", 4: "log-centre", 5: "log-wrap"})
    for c, t in enumerate(["Файл", "Аркуш", "Рядок", "Стовпець", "Повідомлення"], start=1):
        findings.put(1, c, t, "log-head")
    findings.heights[1] = 0.9
    findings.header_rows = (1, 1)
    findings.frozen_rows = 1
    findings.cursor = (2, 1)
    findings.print_grid = True
    findings.print_range = (1, 1, 65536, 5)
    findings.autofilter = (1, 1, 65536, 5)
    totals = Sheet("Разом", [11.0, 3.6, 3.6, 9.0],
                   col_styles={1: "log-wrap", 2: "money", 3: "money", 4: "log-wrap"})
    totals.merge(1, 1, 1, 4, "Таблиця 1 за всіма звітами", "title")
    totals.merge(2, 1, 2, 4, "", "note")
    for c, t in enumerate(["Пункт таблиці 1", "Сума за звітами без помилок", "Сума за всіма перевіреними звітами",
                           "Звіти, у яких пункт не є числом (враховано як 0)"], start=1):
        totals.put(3, c, t, "log-head")
    # Counts: of reports in each sum (row 4), of contracts in п.15 and п.16 (rows 19, 20); the program
    # writes into these cells and keeps their format.
    for r in (4, 19, 20):
        for c in (2, 3):
            totals.put(r, c, "", "count")
    totals.heights.update({1: 0.7, 2: 0.9, 3: 1.2})
    totals.header_rows = (3, 3)
    totals.frozen_rows = 3
    totals.cursor = (4, 1)
    totals.print_grid = True
    totals.print_range = (1, 1, 65536, 4)
    return [reports, findings, totals]


# ----------------------------------------------------------------------------------------------
# The two sample reports. The clean one passes every rule with the shipped lists; the other is
# the same report with the commonest real mistakes typed into a few cells, each of which its
# finding points at, so correcting the cited cells gives the clean report back. The period
# (B4, B5) depends on the day of the check: tools/run-sample.sh and the golden test set it for
# the day they run.

HOLDER = code(2345671)  # in KYIV.bin only
LESSOR = "ДП «Укрбудінвест»"
# The leases of Table 5 were signed by another lessor: the regional office of the State Property Fund.
FUND, FUND_NAME = code(4293751), "Регіональне відділення ФДМУ по м. Києву"
T1, T2, T3, T4 = code(3100012), code(2200345), "2845109876", code(3300789)
T5, T6 = code(5100032), code(4200071)


def sample_data():
    """The clean report: {sheet position: {(row, col): value}}."""
    def rows(data):
        return {(7 + i, c): v for i, vals in enumerate(data) for c, v in enumerate(vals, start=1) if v != ""}

    # Per lease: charged K, of it offset by earlier prepayment L, received M, of it for this period N;
    # the debt that arose in the period is K - L - N and shows in the debt tables' column 8.
    t2 = [[1, T1, "ТОВ «Світанок»", HOLDER, LESSOR, "Ні", 120.5, 100.5, 20, 0, 15000, 0, 15200, 14500],
          [2, T2, "ПП «Карпати-Сервіс»", HOLDER, LESSOR, "Ні", 64, 64, 0, 0, 16000, 1000, 15000, 15000],
          [3, T3, "ФОП Мельник Олена Петрівна", HOLDER, LESSOR, "Ні", 30.25, 30.25, 0, 12, 4800, 0, 4800, 4800],
          [4, T4, "ТОВ «Дніпро-Трейд»", HOLDER, LESSOR, "Ні", 80, 50, 30, 0, 9000, 0, 8800, 8800]]
    t3 = [[1, T1, "ТОВ «Світанок»", HOLDER, LESSOR, "Ні", 1000, 500, 500, 300, 200, 0, 500, 0,
           3, 1, 1, 1, 1, 0, 0, 0, 900, 700],
          [2, T4, "ТОВ «Дніпро-Трейд»", HOLDER, LESSOR, "Ні", 700, 200, 200, 300, 200, 0, 350, 0,
           2, 2, 1, 1, 0, 0, 0, 0, 0, 0]]
    free = [[1, "Печерський", "Хрещатик", "вулиця", "10", 350.5, 0, 45.2, 40, 5.2, "1", "задовільний",
             "так", "так", "так", "офісне", "-"],
            [2, "Оболонський", "Героїв Дніпра", "проспект", "7-А", 120, 0, 30, 30, 0, "цокольний",
             "незадовільний", "так", "ні", "так", "складське", "є звернення на передачу в оренду"],
            [3, "Солом'янський", "Вадима Гетьмана", "вулиця", "6", 210, 150, 60, 52, 8, "2", "задовільний",
             "так", "так", "так", "торговельне", ""]]
    t5 = [[1, T5, "ПАТ «Київ-Транс»", FUND, FUND_NAME, "Так", 0, 0, 0, 0, 2000, 0, 1500, 1500],
          [2, T6, "ТОВ «Автобаза-7»", FUND, FUND_NAME, "Так", 0, 0, 0, 0, 1200, 200, 1000, 1000]]
    t6 = [[1, T5, "ПАТ «Київ-Транс»", FUND, FUND_NAME, "Так", 500, 500, 500, 0, 0, 0, 250, 0,
           1, 1, 0, 0, 0, 0, 0, 0, 0, 0]]
    leases, debts = t2 + t5, t3 + t6
    p3, p4 = sum(r[10] for r in leases), sum(r[11] for r in leases)
    p5, p6 = sum(r[12] for r in leases), sum(r[13] for r in leases)
    p8 = sum(r[7] for r in debts)
    assert p8 == p3 - p4 - p6, "п.8 must equal п.3 - п.4 - п.6"
    p10, p11, p12 = p5 / 2, 22000, 1500
    general = {4: 12, 5: 2026, 6: "01.01.2027", 7: HOLDER, 8: "Державне підприємство «Укрбудінвест»",
               10: 1500.75, 11: sum(r[6] for r in leases), 12: p3, 13: p4, 14: p5, 15: p6,
               16: sum(r[6] for r in debts), 17: p8, 18: sum(r[12] for r in debts),
               19: p10, 20: p11, 21: p12, 22: p10 - (p11 - p12), 23: 0, 24: 0, 25: 0, 26: 0, 27: 0, 28: 0, 29: 0,
               30: p11, 32: "info@ukrbudinvest.gov.ua", 33: "(044) 555-12-34", 34: "Коваленко І. В.",
               35: "Петренко В. М.", 36: "Сидоренко Л. А.", 37: "01001, м. Київ, вул. Хрещатик, 10"}
    return {1: {(r, 2): v for r, v in general.items()}, 2: rows(t2), 3: rows(t3), 4: rows(free), 5: rows(t5),
            6: rows(t6)}


def transposed(c):
    wrong = c[:5] + c[6] + c[5] + c[7]
    assert not valid_code(wrong), wrong
    return wrong


# (sheet position, row, column) -> the mistaken value; each one is the cell its finding cites.
MISTAKES = {
    (1, 16, 2): 1500,                          # п.7 not matching Σ гр.7 of the debt tables (2200)
    (1, 32, 2): "info@ukrbudinvest,gov.ua",    # a comma for the dot in the e-mail address
    (1, 33, 2): "",                            # the telephone left empty
    (2, 8, 2): transposed(T2),                 # two digits of a tenant's code swapped: bad check digit
    (2, 10, 1): 3,                             # running number typed twice
    (4, 7, 16): "Офісне",                      # an allowed word with a capital letter
    (4, 8, 2): "Оболонський р-н",              # a district with "р-н": not in SR.bin
}


def sample(mistakes=False):
    """The sheets of a sample report."""
    data = sample_data()
    if mistakes:
        for (s, r, c), v in MISTAKES.items():
            data[s][(r, c)] = v

    def table(s, ncols):
        cells = data[s]
        last = max([r for r, _ in cells] + [6])
        return [[cells.get((r, c), "") for c in range(1, ncols + 1)] for r in range(7, last + 1)]

    general = {r: v for (r, c), v in data[1].items()}
    return report(general, table(2, 14), table(3, 24), table(4, 17), table(5, 14), table(6, 24))


# ----------------------------------------------------------------------------------------------
# The instruction: data/src/readme.md in a small Markdown subset, written out as a flat ODT (for
# readme.doc) and as HTML (for the window's viewer). The subset: "# " title, "## " and "### "
# headings, paragraphs, "- " and "1. " lists, pipe tables with a "|---|" line under the header
# row, lines indented by four blanks (a command), and **bold** inside text.

def parse_markdown(text):
    blocks, para = [], []
    lines = text.split("\n")

    def flush():
        if para:
            blocks.append(("p", " ".join(para)))
            para.clear()

    i = 0
    while i < len(lines):
        line = lines[i]
        if not line.strip():
            flush()
            i += 1
        elif line.startswith("#"):
            flush()
            level = len(line) - len(line.lstrip("#"))
            blocks.append(("h%d" % level, line[level:].strip()))
            i += 1
        elif line.startswith("    "):
            flush()
            blocks.append(("pre", line.strip()))
            i += 1
        elif line.startswith("|"):
            flush()
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                cells = [c.strip() for c in lines[i].strip().strip("|").split("|")]
                if not all(re.fullmatch(r"-+", c) for c in cells):
                    rows.append(cells)
                i += 1
            blocks.append(("table", rows))
        elif re.match(r"(- |\d+\. )", line):
            flush()
            kind = "ul" if line.startswith("- ") else "ol"
            items = []
            while i < len(lines) and re.match(r"(- |\d+\. )", lines[i]):
                items.append(re.sub(r"^(- |\d+\. )", "", lines[i]).strip())
                i += 1
            blocks.append((kind, items))
        else:
            para.append(line.strip())
            i += 1
    flush()
    return blocks


def inline(text, bold_open, bold_close, esc):
    parts = text.split("**")
    return "".join(esc(p) if k % 2 == 0 else bold_open + esc(p) + bold_close for k, p in enumerate(parts))


def anchors(blocks):
    out, n1, n2 = {}, 0, 0
    for k, (kind, text) in enumerate(blocks):
        if kind == "h2":
            n1, n2 = n1 + 1, 0
            out[k] = ("s%d" % n1, "%d." % n1)
        elif kind == "h3":
            n2 += 1
            out[k] = ("s%d-%d" % (n1, n2), "%d.%d." % (n1, n2))
    return out


def readme_html(blocks):
    def esc(s):
        return html.escape(s, quote=False)

    def ins(s):
        return inline(s, "<b>", "</b>", esc)

    num = anchors(blocks)
    out = ['<!DOCTYPE html>\n<html lang="uk">\n<head>\n<meta charset="utf-8">',
           "<title>%s</title>" % esc(blocks[0][1]),
           "<style>\nbody { font-family: Arial, sans-serif; font-size: 10pt; margin: 1em 2em; }\n"
           "h1 { font-size: 16pt; } h2 { font-size: 13pt; margin-top: 1.4em; } h3 { font-size: 11pt; }\n"
           "table { border-collapse: collapse; margin: 0.5em 0; }\n"
           "th, td { border: 1px solid #888888; padding: 3px 5px; vertical-align: top; text-align: left; }\n"
           "th { background-color: #dce6f1; }\npre { font-family: monospace; margin-left: 2em; }\n</style>",
           "</head>\n<body>"]
    toc, inner = ["<h2>Зміст</h2>\n<ul>"], False
    for k, (kind, text) in enumerate(blocks):
        if kind not in ("h2", "h3"):
            continue
        if kind == "h3" and not inner:
            toc[-1] = toc[-1][:-len("</li>")] + "<ul>"
            inner = True
        elif kind == "h2" and inner:
            toc.append("</ul></li>")
            inner = False
        a, n = num[k]
        toc.append('<li><a href="#%s">%s %s</a></li>' % (a, n, esc(text)))
    toc.append("</ul></li>\n</ul>" if inner else "</ul>")
    for k, (kind, body) in enumerate(blocks):
        if kind == "h1":
            out.append("<h1>%s</h1>" % ins(body))
        elif kind in ("h2", "h3"):
            if kind == "h2" and not any(b[0] == "h2" for b in blocks[:k]):
                out.extend(toc)
            a, n = num[k]
            out.append('<%s><a name="%s"></a>%s %s</%s>' % (kind, a, n, ins(body), kind))
        elif kind == "p":
            out.append("<p>%s</p>" % ins(body))
        elif kind == "pre":
            out.append("<pre>%s</pre>" % esc(body))
        elif kind in ("ul", "ol"):
            out.append("<%s>\n%s\n</%s>" % (kind, "\n".join("<li>%s</li>" % ins(x) for x in body), kind))
        elif kind == "table":
            rows = ["<tr>%s</tr>" % "".join("<th>%s</th>" % ins(c) for c in body[0])]
            rows += ["<tr>%s</tr>" % "".join("<td>%s</td>" % ins(c) for c in r) for r in body[1:]]
            out.append('<table border="1" cellspacing="0" cellpadding="4" width="100%%">\n%s\n</table>'
                       % "\n".join(rows))
    out.append("</body>\n</html>\n")
    return "\n".join(out)


def table_widths(rows, total=17.0):
    """Column widths in cm for a table of the instruction, after the length of its texts."""
    n = len(rows[0])
    longest = [max(min(len(r[c]), 90) for r in rows if c < len(r)) for c in range(n)]
    weights = [max(6.0, math.sqrt(x) * 4) for x in longest]
    s = sum(weights)
    return [round(total * w / s, 2) for w in weights]


def readme_fodt(blocks):
    def esc(s):
        return escape(s)

    def ins(s):
        return inline(s, '<text:span text:style-name="Bold">', "</text:span>", esc)

    num = anchors(blocks)
    body, tables, numbered = [], [], 0
    for k, (kind, b) in enumerate(blocks):
        if kind == "h1":
            body.append('<text:p text:style-name="Title">%s</text:p>' % ins(b))
        elif kind in ("h2", "h3"):
            if kind == "h2" and not any(x[0] == "h2" for x in blocks[:k]):
                body.append('<text:p text:style-name="TocHead">Зміст</text:p>')
                for kk, (kd, tx) in enumerate(blocks):
                    if kd in ("h2", "h3"):
                        body.append('<text:p text:style-name="%s">%s %s</text:p>'
                                    % ("Toc1" if kd == "h2" else "Toc2", num[kk][1], esc(tx)))
            level = 1 if kind == "h2" else 2
            body.append('<text:h text:style-name="Heading_20_%d" text:outline-level="%d">%s %s</text:h>'
                        % (level, level, num[k][1], ins(b)))
        elif kind == "p":
            body.append('<text:p text:style-name="Body">%s</text:p>' % ins(b))
        elif kind == "pre":
            body.append('<text:p text:style-name="Command">%s</text:p>' % esc(b))
        elif kind in ("ul", "ol"):
            # A list style of its own for each numbered list: Word counts on across lists of one style.
            if kind == "ol":
                numbered += 1
            style = "Bullets" if kind == "ul" else "Numbers%d" % numbered
            items = "".join('<text:list-item><text:p text:style-name="ListPara">%s</text:p></text:list-item>'
                            % ins(x) for x in b)
            body.append('<text:list text:style-name="%s">%s</text:list>' % (style, items))
        elif kind == "table":
            t = len(tables) + 1
            widths = table_widths(b)
            tables.append(widths)
            cols = "".join('<table:table-column table:style-name="T%d.C%d"/>' % (t, c) for c in range(len(widths)))

            def row(cells, head):
                ps = "CellHead" if head else "Cell"
                return "<table:table-row>%s</table:table-row>" % "".join(
                    '<table:table-cell table:style-name="%s" office:value-type="string"><text:p text:style-name="%s">'
                    "%s</text:p></table:table-cell>" % ("TH" if head else "TD", ps, ins(c)) for c in cells)

            body.append('<table:table table:name="Таблиця%d" table:style-name="T%d">%s<table:table-header-rows>%s'
                        "</table:table-header-rows>%s</table:table>"
                        % (t, t, cols, row(b[0], True), "".join(row(r, False) for r in b[1:])))
    table_styles = "".join(
        '<style:style style:name="T%d" style:family="table"><style:table-properties style:width="17cm" '
        'table:align="left" fo:margin-top="0.1cm" fo:margin-bottom="0.2cm"/></style:style>' % t +
        "".join('<style:style style:name="T%d.C%d" style:family="table-column"><style:table-column-properties '
                'style:column-width="%.2fcm"/></style:style>' % (t, c, w) for c, w in enumerate(ws))
        for t, ws in enumerate(tables, start=1))
    para = ('<style:style style:name="%s" style:family="paragraph" style:parent-style-name="%s"%s>'
            "<style:paragraph-properties %s/><style:text-properties %s/></style:style>")
    styles = "".join([
        '<style:default-style style:family="paragraph"><style:paragraph-properties fo:hyphenation-ladder-count='
        '"no-limit"/><style:text-properties style:font-name="Arial" fo:font-size="10pt" fo:language="uk" '
        'fo:country="UA" fo:hyphenate="false"/></style:default-style>',
        '<style:style style:name="Standard" style:family="paragraph"/>',
        para % ("Body", "Standard", "", 'fo:margin-top="0cm" fo:margin-bottom="0.18cm" fo:text-align="justify" '
                'fo:line-height="115%"', ""),
        para % ("Title", "Standard", "", 'fo:margin-bottom="0.35cm"', 'fo:font-size="18pt" fo:font-weight="bold"'),
        para % ("TocHead", "Standard", "", 'fo:margin-top="0.3cm" fo:margin-bottom="0.15cm"',
                'fo:font-size="13pt" fo:font-weight="bold"'),
        para % ("Toc1", "Standard", "", 'fo:margin-bottom="0.03cm"', ""),
        para % ("Toc2", "Standard", "", 'fo:margin-left="0.7cm" fo:margin-bottom="0.03cm"', ""),
        para % ("Heading_20_1", "Standard", ' style:display-name="Heading 1" style:default-outline-level="1"',
                'fo:margin-top="0.5cm" fo:margin-bottom="0.2cm" fo:keep-with-next="always"',
                'fo:font-size="14pt" fo:font-weight="bold" fo:color="#1f3864"'),
        para % ("Heading_20_2", "Standard", ' style:display-name="Heading 2" style:default-outline-level="2"',
                'fo:margin-top="0.35cm" fo:margin-bottom="0.15cm" fo:keep-with-next="always"',
                'fo:font-size="11.5pt" fo:font-weight="bold" fo:color="#1f3864"'),
        para % ("Command", "Standard", "", 'fo:margin-left="1cm" fo:margin-bottom="0.18cm"',
                'style:font-name="Liberation Mono" fo:font-family="Courier New" fo:font-size="9.5pt"'),
        para % ("ListPara", "Standard", "", 'fo:margin-bottom="0.08cm" fo:text-align="justify"', ""),
        para % ("Cell", "Standard", "", 'fo:margin="0cm"', 'fo:font-size="9pt"'),
        para % ("CellHead", "Standard", "", 'fo:margin="0cm" fo:keep-with-next="always"',
                'fo:font-size="9pt" fo:font-weight="bold"'),
        '<style:style style:name="Bold" style:family="text"><style:text-properties fo:font-weight="bold"/></style:style>',
        '<text:list-style style:name="Bullets"><text:list-level-style-bullet text:level="1" text:bullet-char="•">'
        '<style:list-level-properties text:list-level-position-and-space-mode="label-alignment"><style:list-level-label-'
        'alignment text:label-followed-by="listtab" text:list-tab-stop-position="0.9cm" fo:text-indent="-0.45cm" '
        'fo:margin-left="0.9cm"/></style:list-level-properties></text:list-level-style-bullet></text:list-style>',
    ] + ['<text:list-style style:name="Numbers%d"><text:list-level-style-number text:level="1" style:num-suffix="." '
         'style:num-format="1"><style:list-level-properties text:list-level-position-and-space-mode="label-alignment">'
         '<style:list-level-label-alignment text:label-followed-by="listtab" text:list-tab-stop-position="0.9cm" '
         'fo:text-indent="-0.55cm" fo:margin-left="0.9cm"/></style:list-level-properties>'
         "</text:list-level-style-number></text:list-style>" % n for n in range(1, numbered + 1)])
    cell = ('<style:style style:name="%s" style:family="table-cell"><style:table-cell-properties fo:padding="0.07cm" '
            'fo:border="0.5pt solid #808080"%s/></style:style>')
    auto = (table_styles + cell % ("TH", ' fo:background-color="#dce6f1"') + cell % ("TD", "") +
            '<style:page-layout style:name="pm1"><style:page-layout-properties fo:page-width="21cm" '
            'fo:page-height="29.7cm" style:print-orientation="portrait" fo:margin-top="1.5cm" fo:margin-bottom="1.2cm" '
            'fo:margin-left="2cm" fo:margin-right="2cm"/><style:footer-style><style:header-footer-properties '
            'fo:min-height="0.5cm" fo:margin-top="0.3cm"/></style:footer-style></style:page-layout>'
            '<style:style style:name="Footer" style:family="paragraph"><style:paragraph-properties fo:text-align="center"/>'
            '<style:text-properties fo:font-size="8pt" fo:color="#606060"/></style:style>')
    return ('<?xml version="1.0" encoding="UTF-8"?>\n<office:document ' + NS + 'office:version="1.3" '
            'office:mimetype="application/vnd.oasis.opendocument.text">\n'
            '<office:font-face-decls><style:font-face style:name="Arial" svg:font-family="Arial" '
            'style:font-family-generic="swiss"/><style:font-face style:name="Liberation Mono" '
            'svg:font-family="\'Liberation Mono\'" style:font-family-generic="modern" style:font-pitch="fixed"/>'
            "</office:font-face-decls>\n"
            "<office:styles>" + styles + "</office:styles>\n"
            "<office:automatic-styles>" + auto + "</office:automatic-styles>\n"
            '<office:master-styles><style:master-page style:name="Standard" style:page-layout-name="pm1"><style:footer>'
            '<text:p text:style-name="Footer">%s — сторінка <text:page-number>1</text:page-number> з '
            "<text:page-count>1</text:page-count></text:p></style:footer></style:master-page></office:master-styles>\n"
            "<office:body><office:text>\n" % escape(blocks[0][1]) + "\n".join(body) +
            "\n</office:text></office:body></office:document>\n")


# ----------------------------------------------------------------------------------------------
# The reference lists, written as a Ukrainian Windows computer writes them: Windows-1251, CR LF.

LISTS = {
    "GUOZ.bin": [code(1000123), code(1999990)],
    "CMK.bin": [code(2100456), code(2900001)],
    "KYIV.bin": [HOLDER, code(1000123), code(2100456)],
    "ZFB.bin": [code(2500007), code(2600004)],
    "MAYNO.bin": [code(2600004)],
    "SR.bin": ["ГОЛОСІЇВСЬКИЙ", "ДАРНИЦЬКИЙ", "ДЕСНЯНСЬКИЙ", "ДНІПРОВСЬКИЙ", "ОБОЛОНСЬКИЙ", "ПЕЧЕРСЬКИЙ",
               "ПОДІЛЬСЬКИЙ", "СВЯТОШИНСЬКИЙ", "СОЛОМ'ЯНСЬКИЙ", "ШЕВЧЕНКІВСЬКИЙ"],
}


def write(path, text, encoding="utf-8"):
    with open(path, "w", encoding=encoding, newline="") as f:
        f.write(text)


def convert(sources, fmt, outdir):
    profile = tempfile.mkdtemp(prefix="lo-profile-")
    try:
        subprocess.run(["soffice", "-env:UserInstallation=file://" + profile, "--headless", "--convert-to", fmt,
                        "--outdir", outdir] + sources, check=True, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=600)
    finally:
        shutil.rmtree(profile, ignore_errors=True)


# ----------------------------------------------------------------------------------------------
# Frozen header rows. LibreOffice converting without a window drops the view settings of the
# flat-XML sources, so the panes are added to the converted .xls afterwards: the sheet's WINDOW2
# record gets the frozen flags, a PANE and a SELECTION record for the lower pane follow it, and
# every absolute stream position (BOUNDSHEET, INDEX) moves with the inserted bytes. The compound
# file is written back with its directory entries unchanged but for start and size.

ENDOFCHAIN, FREESECT, FATSECT = 0xFFFFFFFE, 0xFFFFFFFF, 0xFFFFFFFD


def read_cfb(data):
    u32 = lambda o: struct.unpack_from("<I", data, o)[0]
    if data[:8] != bytes.fromhex("D0CF11E0A1B11AE1") or struct.unpack_from("<H", data, 0x1E)[0] != 9:
        raise ValueError("not a version 3 compound file")
    if u32(0x48):
        raise ValueError("DIFAT sectors are not supported here")
    fat = []
    for i in range(109):
        s = u32(0x4C + 4 * i)
        if s < 0xFFFFFFFA:
            fat += struct.unpack_from("<128I", data, (s + 1) * 512)

    def chain(s):
        out = []
        while s < 0xFFFFFFFA:
            out.append(s)
            s = fat[s]
        return out

    def read(s):
        return b"".join(data[(x + 1) * 512:(x + 2) * 512] for x in chain(s))

    dirs = read(u32(0x30))
    entries = [bytearray(dirs[i:i + 128]) for i in range(0, len(dirs), 128)]
    start = lambda e: struct.unpack_from("<I", e, 116)[0]
    size = lambda e: struct.unpack_from("<I", e, 120)[0]
    mini = read(start(entries[0]))
    minifat = read(u32(0x3C))
    minifat = struct.unpack("<%dI" % (len(minifat) // 4), minifat)
    streams = {}
    for i, e in enumerate(entries):
        if e[66] != 2:
            continue
        if size(e) < 4096:
            s, parts = start(e), []
            while s < 0xFFFFFFFA:
                parts.append(mini[s * 64:(s + 1) * 64])
                s = minifat[s]
            streams[i] = b"".join(parts)[:size(e)]
        else:
            streams[i] = read(start(e))[:size(e)]
    return entries, streams


def write_cfb(entries, streams):
    def sectors(n, unit=512):
        return (n + unit - 1) // unit

    mini, minifat = bytearray(), []
    for i in sorted(i for i, d in streams.items() if len(d) < 4096):
        d, first = streams[i], len(minifat)
        n = sectors(len(d), 64)
        minifat += [first + k + 1 for k in range(n - 1)] + [ENDOFCHAIN] * (n > 0)
        mini += d + bytes(n * 64 - len(d))
        struct.pack_into("<III", entries[i], 116, first if n else ENDOFCHAIN, len(d), 0)
    big = sorted(i for i, d in streams.items() if len(d) >= 4096)
    n_dir, n_minifat, n_mini = sectors(len(entries) * 128), sectors(len(minifat) * 4), sectors(len(mini))
    n_data = n_dir + n_minifat + n_mini + sum(sectors(len(streams[i])) for i in big)
    n_fat = 1
    while sectors(n_data + n_fat, 128) > n_fat:
        n_fat += 1
    if n_fat > 109:
        raise ValueError("file too large for a header-only DIFAT")
    fat = [FREESECT] * (n_fat * 128)
    fat[:n_fat] = [FATSECT] * n_fat
    body, nxt = [], n_fat

    def place(data, count):
        nonlocal nxt
        if not count:
            return ENDOFCHAIN
        first = nxt
        for k in range(count):
            fat[first + k] = first + k + 1 if k < count - 1 else ENDOFCHAIN
        body.append(bytes(data) + bytes(count * 512 - len(data)))
        nxt += count
        return first

    dir_at = nxt
    nxt += n_dir  # the directory is placed last, once every start sector is known
    for k in range(n_dir):
        fat[dir_at + k] = dir_at + k + 1 if k < n_dir - 1 else ENDOFCHAIN
    minifat_at = place(struct.pack("<%dI" % len(minifat), *minifat) + b"\xff" * (n_minifat * 512 - len(minifat) * 4),
                       n_minifat)
    struct.pack_into("<III", entries[0], 116, place(mini, n_mini), len(mini), 0)
    for i in big:
        struct.pack_into("<III", entries[i], 116, place(streams[i], sectors(len(streams[i]))), len(streams[i]), 0)
    directory = b"".join(entries) + bytes(n_dir * 512 - len(entries) * 128)
    header = bytearray(512)
    header[:8] = bytes.fromhex("D0CF11E0A1B11AE1")
    struct.pack_into("<HHHHH", header, 0x18, 0x3E, 3, 0xFFFE, 9, 6)
    struct.pack_into("<IIIIIIIII", header, 0x2C, n_fat, dir_at, 0, 4096, minifat_at, n_minifat, ENDOFCHAIN, 0,
                     0)
    struct.pack_into("<109I", header, 0x4C, *(list(range(n_fat)) + [FREESECT] * (109 - n_fat)))
    fats = struct.pack("<%dI" % len(fat), *fat)
    return bytes(header) + fats + directory + b"".join(body)


def add_frozen_panes(path, sheets):
    with open(path, "rb") as f:
        entries, streams = read_cfb(f.read())
    wb = next(i for i, e in enumerate(entries) if e[66] == 2 and e[:16] == "Workbook".encode("utf-16-le"))
    data = streams[wb]
    records, pos = [], 0
    while pos + 4 <= len(data):
        t, n = struct.unpack_from("<HH", data, pos)
        records.append([pos, t, bytearray(data[pos + 4:pos + 4 + n])])
        pos += 4 + n
    # Record order in a sheet: WINDOW2, [PLV], [SCL], PANE, the upper pane's SELECTION, the lower's.
    out, sheet, depth, state, pane, selection = [], -1, 0, None, None, None
    for old, t, b in records:
        if state == "window" and t not in (0x088B, 0x00A0):
            out.append((None, 0x0041, pane))
            state = "selections"
        if state == "selections" and t != 0x001D:
            out.append((None, 0x001D, selection))
            state = None
        if t == 0x0809:
            depth += 1
            if depth == 1 and struct.unpack_from("<H", b, 2)[0] == 0x0010:
                sheet += 1
        elif t == 0x000A:
            depth -= 1
        elif t == 0x023E and depth == 1 and 0 <= sheet < len(sheets) and sheets[sheet].frozen_rows:
            rows, (r, c) = sheets[sheet].frozen_rows, sheets[sheet].cursor
            b[0:2] = struct.pack("<H", struct.unpack_from("<H", b, 0)[0] | 0x0008 | 0x0100)  # frozen, no split
            pane = bytearray(struct.pack("<HHHHBB", 0, rows, rows, 0, 2, 0))
            selection = bytearray(struct.pack("<BHHHHHHBB", 2, r - 1, c - 1, 0, 1, r - 1, r - 1, c - 1, c - 1))
            state = "window"
        out.append((old, t, b))
    out = add_conditional_formats(out, sheets)
    moved, pos = {}, 0
    for old, t, b in out:
        if old is not None:
            moved[old] = pos
        pos += 4 + len(b)
    for old, t, b in out:
        if t == 0x0085:  # BOUNDSHEET: the sheet's BOF
            struct.pack_into("<I", b, 0, moved[struct.unpack_from("<I", b, 0)[0]])
        elif t == 0x020B:  # INDEX: DEFCOLWIDTH and the DBCELL records
            for o in range(12, len(b) - 3, 4):
                v = struct.unpack_from("<I", b, o)[0]
                if v in moved:
                    struct.pack_into("<I", b, o, moved[v])
    streams[wb] = b"".join(struct.pack("<HH", t, len(b)) + bytes(b) for _, t, b in out)
    with open(path, "wb") as f:
        f.write(write_cfb(entries, streams))


# Conditional formats. LibreOffice 7.4 keeps those of the flat-XML source when it opens it but writes
# none of them to .xls, so the records are added here: a CONDFMT for the column's rows from the first
# one on, and a CF per text, "cell value equal to the text", that fills the cell with the palette
# colour nearest to the one asked for. They go after the sheet's window settings, where Excel keeps
# them (and before the links the program adds).
STATUS_FILLS = {"st-clean": (0xCC, 0xFF, 0xCC), "st-findings": (0xFF, 0x99, 0x99),
                "st-unchecked": (0xFF, 0xCC, 0x99), "st-missing": (0xC0, 0xC0, 0xC0)}


def cf_record(text, icv):
    chars = text.encode("utf-16-le")
    rgce = struct.pack("<BBB", 0x17, len(text), 1) + chars  # ptgStr, cch, fHighByte
    # DXFN: every part "not changed" but the fill (fls, icvF, icvB) with its block (ibitAtrPat)
    flags = 0xFFFF | (1 << 19) | (1 << 20) | (1 << 29) | (1 << 31)
    dxfn = struct.pack("<IH", flags, 0x8002) + struct.pack("<HH", 1 << 10, icv | (icv << 7))
    return struct.pack("<BBHH", 1, 3, len(rgce), 0) + dxfn + rgce


def add_conditional_formats(records, sheets):
    palette = [(0, 0, 0), (0xFF, 0xFF, 0xFF), (0xFF, 0, 0), (0, 0xFF, 0), (0, 0, 0xFF), (0xFF, 0xFF, 0),
               (0xFF, 0, 0xFF), (0, 0xFF, 0xFF)]  # indices 0-7; PALETTE gives 8-63
    for _, t, b in records:
        if t == 0x0092:
            n = struct.unpack_from("<H", b, 0)[0]
            palette += [tuple(b[2 + 4 * i:5 + 4 * i]) for i in range(n)]

    def nearest(rgb):
        return min(range(8, len(palette)), key=lambda i: sum((a - c) ** 2 for a, c in zip(palette[i], rgb)))

    out, sheet, depth, pending = [], -1, 0, None
    for old, t, b in records:
        if t == 0x0809:
            depth += 1
            if depth == 1 and struct.unpack_from("<H", b, 2)[0] == 0x0010:
                sheet += 1
                pending = [c for c in CONDITIONAL if 0 <= sheet < len(sheets) and c[0] == sheets[sheet].name]
        elif t == 0x000A:
            depth -= 1
        # Before the first record that follows the window settings and merged cells.
        if pending and depth == 1 and t in (0x0867, 0x01B8, 0x01B2, 0x000A, 0x0868, 0x0862, 0x089A, 0x0866):
            for _, col, first, rules in pending:
                ref = struct.pack("<HHHH", first - 1, 65535, col - 1, col - 1)
                out.append((None, 0x01B0, bytearray(struct.pack("<HH", len(rules), 1 << 1) + ref +
                                                    struct.pack("<H", 1) + ref)))
                for text, style in rules:
                    out.append((None, 0x01B1, bytearray(cf_record(text, nearest(STATUS_FILLS[style])))))
            pending = None
        out.append((old, t, b))
    return out


def main():
    books = {"zvit": report(), "elog": log_template(), "zvedennya": summary_template(),
             "sample-zvit": sample(mistakes=True), "sample-clean-zvit": sample()}
    os.makedirs(SRC, exist_ok=True)
    for name, sheets in books.items():
        # The log's page header is replaced at every check by the report's file, code, name, time
        # and number of findings; the template's own reserves its room on the page.
        write(os.path.join(SRC, name + ".fods"), fods(sheets, "Протокол перевірки звіту" if name == "elog" else None))
    with open(os.path.join(SRC, "readme.md"), encoding="utf-8") as f:
        blocks = parse_markdown(f.read())
    write(os.path.join(SRC, "readme.fodt"), readme_fodt(blocks))
    write(os.path.join(DATA, "readme.html"), readme_html(blocks))
    for name, lines in LISTS.items():
        write(os.path.join(DATA, name), "".join(l + "\r\n" for l in lines), encoding="cp1251")
    if "--no-convert" in sys.argv:
        return
    # --only NAME converts one workbook (e.g. --only zvedennya) and leaves the other shipped files as they are.
    if "--only" in sys.argv:
        only = sys.argv[sys.argv.index("--only") + 1]
        tmp = tempfile.mkdtemp()
        try:
            convert([os.path.join(SRC, only + ".fods")], "xls", tmp)
            add_frozen_panes(os.path.join(tmp, only + ".xls"), books[only])
            target = {"sample-zvit": "sample/zvit.xls", "sample-clean-zvit": "sample/clean/zvit.xls"}.get(
                only, only + ".xls")
            shutil.copy(os.path.join(tmp, only + ".xls"), os.path.join(DATA, target))
        finally:
            shutil.rmtree(tmp, ignore_errors=True)
        return
    tmp = tempfile.mkdtemp()
    try:
        convert([os.path.join(SRC, n + ".fods") for n in books], "xls", tmp)
        convert([os.path.join(SRC, "readme.fodt")], "doc:MS Word 97", tmp)
        for name, sheets in books.items():
            add_frozen_panes(os.path.join(tmp, name + ".xls"), sheets)
        os.makedirs(os.path.join(DATA, "sample", "clean"), exist_ok=True)
        for name, target in [("zvit.xls", "zvit.xls"), ("elog.xls", "elog.xls"), ("zvedennya.xls", "zvedennya.xls"),
                             ("readme.doc", "readme.doc"),
                             ("sample-zvit.xls", "sample/zvit.xls"), ("sample-clean-zvit.xls", "sample/clean/zvit.xls")]:
            shutil.copy(os.path.join(tmp, name), os.path.join(DATA, target))
    finally:
        shutil.rmtree(tmp, ignore_errors=True)


if __name__ == "__main__":
    main()
