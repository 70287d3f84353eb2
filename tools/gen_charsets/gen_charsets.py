#!/usr/bin/env python3
# Generates the character-set tables of the XML document library from the published mappings:
# xmldom/encodings/XmlCharsetTables.inc (the 72 single-byte sets) and xmldom/encodings/CharsetRegistry.inc (the
# registered character-set names). The output is committed; the build never runs this script.
#
# Usage: gen_charsets.py <data folder> <xmldom folder>
#   <data folder> holds charsets/*.txt and iana-character-sets.csv.

import csv
import os
import sys

UNDEF = 0xFFFF

# (index, name in messages, decoder's name in messages or None, source, kind)
# kind: 'ascii' US-ASCII; 'iso' ISO 8859 (00-9F give themselves); 'ascii8' other ASCII-based
# sets (00-7F give themselves); 'ibm' as 'ascii8' with the IBM control arrangement;
# 'ebcdic' the table as published; 'jis' JIS X 0201 as described below.
SETS = [
    (5, 'US-ASCII', None, None, 'ascii'),
    (6, 'ISO-8859-1', None, 'iso8859_8859-1', 'iso'),
    (7, 'ISO-8859-2', None, 'iso8859_8859-2', 'iso'),
    (8, 'ISO-8859-3', None, 'iso8859_8859-3', 'iso'),
    (9, 'ISO-8859-4', None, 'iso8859_8859-4', 'iso'),
    (10, 'ISO-8859-5', None, 'iso8859_8859-5', 'iso'),
    (11, 'ISO-8859-6', None, 'iso8859_8859-6', 'iso'),
    (12, 'ISO-8859-7', None, 'iso8859_8859-7', 'iso'),
    (13, 'ISO-8859-8', None, 'iso8859_8859-8', 'iso'),
    (14, 'ISO-8859-9', None, 'iso8859_8859-9', 'iso'),
    (15, 'ISO-8859-10', None, 'iso8859_8859-10', 'iso'),
    (16, 'ISO-8859-13', None, 'iso8859_8859-13', 'iso'),
    (17, 'ISO-8859-14', None, 'iso8859_8859-14', 'iso'),
    (18, 'ISO-8859-15', None, 'iso8859_8859-15', 'iso'),
    (19, 'KOI8-R', None, 'misc_koi8-r', 'ascii8'),
    (20, 'JIS_X0201', None, 'jis_jis0201', 'jis'),
    (21, 'NextStep', 'nextStep', 'next_nextstep', 'ascii8'),
    (22, 'cp10000_MacRoman', None, 'micsft_mac_roman', 'ascii8'),
    (23, 'cp10006_MacGreek', None, 'micsft_mac_greek', 'ascii8'),
    (24, 'cp10007_MacCyrillic', None, 'micsft_mac_cyrillic', 'ascii8'),
    (25, 'cp10029_MacLatin2', None, 'micsft_mac_latin2', 'ascii8'),
    (26, 'cp10079_MacIcelandic', None, 'micsft_mac_iceland', 'ascii8'),
    (27, 'cp10081_MacTurkish', None, 'micsft_mac_turkish', 'ascii8'),
    (28, 'cp037', None, 'micsft_ebcdic_cp037', 'ebcdic'),
    (29, 'cp424', None, 'misc_cp424', 'ebcdic'),
    (30, 'cp437', None, 'micsft_pc_cp437', 'ibm'),
    (31, 'cp437_DOSLatinUS', None, 'micsft_pc_cp437', 'ascii8'),
    (32, 'cp500', None, 'micsft_ebcdic_cp500', 'ebcdic'),
    (33, 'cp737_DOSGreek', None, 'micsft_pc_cp737', 'ascii8'),
    (34, 'cp775_DOSBaltRim', None, 'micsft_pc_cp775', 'ascii8'),
    (35, 'cp850', None, 'micsft_pc_cp850', 'ibm'),
    (36, 'cp850_DOSLatin1', None, 'micsft_pc_cp850', 'ascii8'),
    (37, 'cp852', None, 'micsft_pc_cp852', 'ibm'),
    (38, 'cp852_DOSLatin2', None, 'micsft_pc_cp852', 'ascii8'),
    (39, 'cp855', None, 'micsft_pc_cp855', 'ibm'),
    (40, 'cp855_DOSCyrillic', None, 'micsft_pc_cp855', 'ascii8'),
    (41, 'cp856_Hebrew_PC', None, 'misc_cp856', 'ascii8'),
    (42, 'cp857', None, 'micsft_pc_cp857', 'ibm'),
    (43, 'cp857_DOSTurkish', None, 'micsft_pc_cp857', 'ascii8'),
    (44, 'cp860', None, 'micsft_pc_cp860', 'ibm'),
    (45, 'cp860_DOSPortuguese', None, 'micsft_pc_cp860', 'ascii8'),
    (46, 'cp861', None, 'micsft_pc_cp861', 'ibm'),
    (47, 'cp861_DOSIcelandic', None, 'micsft_pc_cp861', 'ascii8'),
    (48, 'cp862', None, 'micsft_pc_cp862', 'ibm'),
    (49, 'cp862_DOSHebrew', None, 'micsft_pc_cp862', 'ascii8'),
    (50, 'cp863', None, 'micsft_pc_cp863', 'ibm'),
    (51, 'cp863_DOSCanadaF', None, 'micsft_pc_cp863', 'ascii8'),
    (52, 'cp864', None, 'micsft_pc_cp864', 'ibm'),
    (53, 'cp864_DOSArabic', None, 'micsft_pc_cp864', 'ascii8'),
    (54, 'cp865', None, 'micsft_pc_cp865', 'ibm'),
    (55, 'cp865_DOSNordic', None, 'micsft_pc_cp865', 'ascii8'),
    (56, 'cp866', None, 'micsft_pc_cp866', 'ibm'),
    (57, 'cp866_DOSCyrillicRussian', None, 'micsft_pc_cp866', 'ascii8'),
    (58, 'cp869', None, 'micsft_pc_cp869', 'ibm'),
    (59, 'cp869_DOSGreek2', None, 'micsft_pc_cp869', 'ascii8'),
    (60, 'Windows-874', None, 'micsft_windows_cp874', 'ascii8'),
    (61, 'Windows-875', None, 'micsft_ebcdic_cp875', 'ebcdic'),
    # The double-byte Windows code pages are read and written with the table of index 60.
    (62, 'Windows-932', None, 'micsft_windows_cp874', 'ascii8'),
    (63, 'Windows-936', None, 'micsft_windows_cp874', 'ascii8'),
    (64, 'Windows-949', None, 'micsft_windows_cp874', 'ascii8'),
    (65, 'Windows-950', None, 'micsft_windows_cp874', 'ascii8'),
    (66, 'cp1006', None, 'misc_cp1006', 'ascii8'),
    (67, 'cp1026', None, 'micsft_ebcdic_cp1026', 'ebcdic'),
    (68, 'Windows-1250', None, 'micsft_windows_cp1250', 'ascii8'),
    (69, 'Windows-1251', 'cp1251', 'micsft_windows_cp1251', 'ascii8'),
    (70, 'Windows-1252', None, 'micsft_windows_cp1252', 'ascii8'),
    (71, 'Windows-1253', None, 'micsft_windows_cp1253', 'ascii8'),
    (72, 'Windows-1254', None, 'micsft_windows_cp1254', 'ascii8'),
    (73, 'Windows-1255', None, 'micsft_windows_cp1255', 'ascii8'),
    (74, 'Windows-1256', None, 'micsft_windows_cp1256', 'ascii8'),
    (75, 'Windows-1257', None, 'micsft_windows_cp1257', 'ascii8'),
    (76, 'Windows-1258', None, 'micsft_windows_cp1258', 'ascii8'),
]

# Differences from the published tables, byte -> unit (None: undefined), by set index.
IBM_CONTROLS = {0x1A: 0x001C, 0x1C: 0x007F, 0x7F: 0x001A}
OVERRIDES = {
    12: {0xA4: 0x0374, 0xA5: 0x0375, 0xAE: 0x037E, 0xAA: None},   # ISO-8859-7
    13: {0xAF: 0x203E, 0xFD: None, 0xFE: None},                    # ISO-8859-8
    22: {0xBD: 0x2126, 0xDB: 0x00A4, 0xF0: None},                  # Mac Roman
    26: {0xBD: 0x2126, 0xDB: 0x00A4, 0xF0: None},                  # Mac Icelandic
    27: {0xBD: 0x2126, 0xF0: None, 0xF5: None},                    # Mac Turkish
    23: {0x9C: 0x00AD, 0xAF: 0x0387, 0xFF: None},                  # Mac Greek
    24: {0xA2: 0x00A2, 0xB6: 0x2202, 0xFF: 0x00A4},                # Mac Cyrillic
    37: {0xAA: None},                                              # cp852 (IBM)
    52: {0x9F: 0x200C, 0xD7: 0xFEC3, 0xD8: 0xFEC7, 0xF1: 0xFE7C},  # cp864 (IBM)
    53: {0x9B: 0x009B, 0x9C: 0x009C, 0x9F: 0x009F, 0xA6: 0xF8BE, 0xA7: 0xF8BF},  # cp864 (Windows)
    58: {0x88: 0x0387, 0xEF: 0x00B4},                              # cp869 (IBM)
}


def read_mapping(path):
    table = {}
    with open(path, encoding='latin-1') as f:
        for line in f:
            fields = line.split('#', 1)[0].split()
            if len(fields) >= 2 and fields[0].lower().startswith('0x'):
                table[int(fields[0], 16)] = int(fields[1], 16)
    return table


def build_decoder(data, index, source, kind):
    dec = [UNDEF] * 256
    if kind == 'ascii':
        for b in range(0x80):
            dec[b] = b
        return dec
    if kind == 'jis':
        for b in range(0x20, 0x7F):
            dec[b] = b
        dec[0x5C] = 0x00A5
        dec[0x7E] = 0x203E
        for b in range(0xA1, 0xE0):
            dec[b] = 0xFF61 + (b - 0xA1)
        published = read_mapping(os.path.join(data, 'charsets', source + '.txt'))
        assert all(dec[b] == u for b, u in published.items()), 'JIS X 0201 table differs'
        return dec
    for b, u in read_mapping(os.path.join(data, 'charsets', source + '.txt')).items():
        if 0 <= b <= 0xFF:
            dec[b] = u
    if kind in ('iso', 'ascii8', 'ibm'):
        for b in range(0xA0 if kind == 'iso' else 0x80):
            dec[b] = b
    if kind == 'ibm':
        for b, u in IBM_CONTROLS.items():
            dec[b] = u
    for b, u in OVERRIDES.get(index, {}).items():
        dec[b] = UNDEF if u is None else u
    return dec


def build_encoder(dec):
    """Exact inverse of the decoder; where several bytes give one unit, the lowest byte wins."""
    enc = {}
    for b in range(256):
        u = dec[b]
        if u != UNDEF and u not in enc:
            enc[u] = b
    return enc


def c_string(s):
    return '"' + s.replace('\\', '\\\\').replace('"', '\\"') + '"'


def write_charsets(data, out_path):
    decoders, encoders = [], []
    for index, name, dec_name, source, kind in SETS:
        dec = build_decoder(data, index, source, kind)
        decoders.append(dec)
        encoders.append(build_encoder(dec))

    # Encoder pages: 256 units each, shared between sets; page 0 is all undefined.
    pages = [tuple([UNDEF] * 256)]
    page_ids = {pages[0]: 0}
    page_maps = []
    for enc in encoders:
        pmap = [0] * 256
        for hi in sorted({u >> 8 for u in enc}):
            page = tuple(enc.get((hi << 8) | lo, UNDEF) for lo in range(256))
            if page not in page_ids:
                page_ids[page] = len(pages)
                pages.append(page)
            pmap[hi] = page_ids[page]
        page_maps.append(pmap)
    assert len(pages) < 65536

    lines = []
    lines.append('// Generated by tools/gen_charsets/gen_charsets.py from the published single-byte')
    lines.append('// mappings; do not edit. The single-byte character sets of the XML library, by')
    lines.append('// encoding index 5 to 76: names, decoding tables and paged encoding tables.')
    lines.append('')
    lines.append('inline constexpr int kFirstCharsetIndex = %d;' % SETS[0][0])
    lines.append('inline constexpr int kCharsetCount = %d;' % len(SETS))
    lines.append('inline constexpr char16_t kUndefinedUnit = 0x%04X;  // byte without a unit' % UNDEF)
    lines.append('inline constexpr uint16_t kUndefinedByte = 0x%04X;  // unit without a byte' % UNDEF)
    lines.append('')
    lines.append('// Set names as the encoders\' and the decoders\' messages spell them.')
    lines.append('inline constexpr const char* kCharsetEncoderNames[kCharsetCount] = {')
    for index, name, dec_name, source, kind in SETS:
        lines.append('    %s,  // %d' % (c_string(name), index))
    lines.append('};')
    lines.append('inline constexpr const char* kCharsetDecoderNames[kCharsetCount] = {')
    for index, name, dec_name, source, kind in SETS:
        lines.append('    %s,  // %d' % (c_string(dec_name or name), index))
    lines.append('};')
    lines.append('')
    lines.append('// Byte -> unit; kUndefinedUnit where the set defines no character.')
    lines.append('alignas(64) inline constexpr char16_t kCharsetDecodeTables[kCharsetCount][256] = {')
    for (index, name, _, _, _), dec in zip(SETS, decoders):
        lines.append('  {  // %d %s' % (index, name))
        for row in range(0, 256, 16):
            lines.append('    ' + ', '.join('0x%04X' % u for u in dec[row:row + 16]) + ',')
        lines.append('  },')
    lines.append('};')
    lines.append('')
    lines.append('// Unit -> byte in pages of 256 units; kUndefinedByte where the set has no byte.')
    lines.append('alignas(64) inline constexpr uint16_t kCharsetEncodePages[%d][256] = {' % len(pages))
    for n, page in enumerate(pages):
        lines.append('  {  // page %d' % n)
        for row in range(0, 256, 16):
            lines.append('    ' + ', '.join('0x%04X' % b for b in page[row:row + 16]) + ',')
        lines.append('  },')
    lines.append('};')
    lines.append('')
    lines.append('// Per set: the encoding page of each high byte of a unit.')
    lines.append('inline constexpr uint16_t kCharsetEncodePageMaps[kCharsetCount][256] = {')
    for (index, name, _, _, _), pmap in zip(SETS, page_maps):
        lines.append('  {  // %d %s' % (index, name))
        for row in range(0, 256, 32):
            lines.append('    ' + ', '.join('%d' % p for p in pmap[row:row + 32]) + ',')
        lines.append('  },')
    lines.append('};')
    with open(out_path, 'w', encoding='utf-8', newline='\n') as f:
        f.write('\n'.join(lines) + '\n')


# --- the character-set registry ---------------------------------------------------------

VALID_RANGES = [(3, 106), (109, 112), (1000, 1015), (2000, 2101), (2250, 2259)]

# Rows whose names are kept as the library has always known them (an earlier edition of the
# registry than the data file).
REGISTRY_ROWS = {
    3: ['ANSI_X3.4-1968', 'iso-ir-6', 'ANSI_X3.4-1986', 'ISO_646.irv:1991', 'ASCII', 'ISO646-US',
        'US-ASCII', 'us', 'IBM367', 'cp367', 'csASCII'],
    106: ['UTF-8'],
}
REGISTRY_ROWS.update({mib: ['windows-%d' % (1250 + mib - 2250)] for mib in range(2250, 2259)})

# Alias index of the preferred MIME name; all other numbers have none.
PREFERRED_MIME = {3: 6, 13: 0, 17: 0, 18: 2, 82: 2, 84: 2, 85: 2, 2025: 0, 2026: 0, 2084: 0}
PREFERRED_MIME.update({mib: 3 for mib in range(4, 13)})
PREFERRED_MIME.update({mib: 0 for mib in range(37, 41)})


def write_registry(data, out_path):
    rows = {}
    with open(os.path.join(data, 'iana-character-sets.csv'), encoding='utf-8') as f:
        for r in csv.DictReader(f):
            if not r['MIBenum'].strip():
                continue
            mib = int(r['MIBenum'])
            names = [r['Name'].strip()]
            for alias in r['Aliases'].split('\n'):
                alias = alias.strip()
                if alias and alias not in names:
                    names.append(alias)
            rows[mib] = names
    rows.update(REGISTRY_ROWS)
    valid = [m for lo, hi in VALID_RANGES for m in range(lo, hi + 1)]
    lines = []
    lines.append('// Generated by tools/gen_charsets/gen_charsets.py from the character-set registry;')
    lines.append('// do not edit. For each valid MIB number: its registered name, then its aliases.')
    lines.append('')
    lines.append('struct TCSMIBRow {')
    lines.append('    int Enum;')
    lines.append('    int PreferredMIME;        // alias index of the preferred MIME name, -1: none')
    lines.append('    int Count;')
    lines.append('    const char* const* Names;')
    lines.append('};')
    lines.append('')
    for mib in valid:
        names = rows.get(mib, [])
        for n in names:
            assert n.isascii() and '"' not in n, n
        lines.append('inline constexpr const char* kCSMIBNames%d[] = {%s};' % (
            mib, ', '.join(c_string(n) for n in names) or 'nullptr'))
    lines.append('')
    lines.append('inline constexpr TCSMIBRow kCSMIBRows[] = {')
    for mib in valid:
        names = rows.get(mib, [])
        pref = PREFERRED_MIME.get(mib, -1)
        assert pref < len(names)
        lines.append('    {%d, %d, %d, kCSMIBNames%d},' % (mib, pref, len(names), mib))
    lines.append('};')
    with open(out_path, 'w', encoding='utf-8', newline='\n') as f:
        f.write('\n'.join(lines) + '\n')


def main():
    if len(sys.argv) != 3:
        sys.exit('usage: gen_charsets.py <data folder> <xmldom folder>')
    data, out = sys.argv[1], sys.argv[2]
    write_charsets(data, os.path.join(out, 'XmlCharsetTables.inc'))
    write_registry(data, os.path.join(out, 'CharsetRegistry.inc'))


if __name__ == '__main__':
    main()
