#!/usr/bin/env python3
"""Writes the file lists of the Windows installer (tools/installer.nsi) from the laid-out folder:
install-files.nsh installs every file but the report, folder by folder; uninstall-files.nsh removes exactly
those files, then their folders, deepest first (a folder that still holds a file of the user's stays).

Usage: tools/installer_lists.py STAGE OUTDIR
"""
import os
import sys

REPORT = 'zvit.xls'  # installed only where there is none, by installer.nsi itself


def main():
    stage, outdir = (os.path.abspath(a) for a in sys.argv[1:3])
    files = sorted(os.path.relpath(os.path.join(d, f), stage).replace(os.sep, '/')
                   for d, _, names in os.walk(stage) for f in names)
    win = lambda p: p.replace('/', '\\')
    with open(os.path.join(outdir, 'install-files.nsh'), 'w', encoding='utf-8') as out:
        folder = None
        for f in files:
            if f == REPORT:
                continue
            d = os.path.dirname(f)
            if d != folder:
                out.write('SetOutPath "$INSTDIR%s"\n' % ('\\' + win(d) if d else ''))
                folder = d
            out.write('File "%s"\n' % os.path.join(stage, f))
    with open(os.path.join(outdir, 'uninstall-files.nsh'), 'w', encoding='utf-8') as out:
        for f in files:
            if f != REPORT:
                out.write('Delete "$INSTDIR\\%s"\n' % win(f))
        for d in sorted({os.path.dirname(f) for f in files if os.path.dirname(f)}, key=lambda d: -d.count('/')):
            out.write('RMDir "$INSTDIR\\%s"\n' % win(d))


if __name__ == '__main__':
    main()
