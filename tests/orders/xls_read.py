"""Reads an .xls workbook with xlrd and prints what a reader sees of it as JSON.

Besides the values and formatting, it walks the workbook stream itself and lists what is wrong
with the records that xlrd does not look at (row-block index, string index, record sizes), and
anything xlrd complained about while reading.
Usage: python3 xls_read.py FILE
"""

import io
import json
import struct
import sys

import xlrd
from xlrd import compdoc

CELL_RECORDS = {0x00FD, 0x0203, 0x027E, 0x0201, 0x0205, 0x00BD, 0x00BE, 0x0006, 0x0204}


def records(stream):
    pos = 0
    out = []
    while pos + 4 <= len(stream):
        rid, size = struct.unpack_from("<HH", stream, pos)
        if rid == 0 and size == 0 and not stream[pos:].strip(b"\0"):
            break  # zero padding after the last record
        out.append((pos, rid, size))
        pos += 4 + size
    return out


def check_structure(stream):
    problems = []
    recs = records(stream)
    at = {pos: (rid, size) for pos, rid, size in recs}
    order = [pos for pos, _, _ in recs]
    index_of = {pos: i for i, pos in enumerate(order)}
    for pos, rid, size in recs:
        if size > 8224:
            problems.append("record %04x at %d holds %d bytes" % (rid, pos, size))

    for pos, rid, size in recs:
        if rid == 0x0085:
            (bof,) = struct.unpack_from("<I", stream, pos + 4)
            if at.get(bof, (None,))[0] != 0x0809:
                problems.append("BOUNDSHEET points at %d, not a BOF" % bof)
        if rid == 0x020B:
            _, rw_mic, rw_mac, ib_xf = struct.unpack_from("<IIII", stream, pos + 4)
            if at.get(ib_xf, (None,))[0] != 0x0055:
                problems.append("INDEX: DEFCOLWIDTH pointer %d is wrong" % ib_xf)
            for k in range((size - 16) // 4):
                (db,) = struct.unpack_from("<I", stream, pos + 20 + 4 * k)
                if at.get(db, (None,))[0] != 0x00D7:
                    problems.append("INDEX: block %d points at %d, not a DBCELL" % (k, db))
        if rid == 0x00D7:
            (back,) = struct.unpack_from("<I", stream, pos + 4)
            first_row = pos - back
            if at.get(first_row, (None,))[0] != 0x0208:
                problems.append("DBCELL at %d: first ROW pointer %d is wrong" % (pos, first_row))
                continue
            rows = []
            i = index_of[first_row]
            while at[order[i]][0] == 0x0208:
                rows.append(struct.unpack_from("<H", stream, order[i] + 4)[0])
                i += 1
            offsets = struct.unpack_from("<%dH" % ((size - 4) // 2), stream, pos + 8)
            if len(offsets) != len(rows):
                problems.append("DBCELL at %d: %d offsets for %d rows" % (pos, len(offsets), len(rows)))
                continue
            cell = first_row + 20
            for row, off in zip(rows, offsets):
                cell += off
                rec = at.get(cell)
                if rec is None:
                    problems.append("DBCELL at %d: row %d's cell pointer %d is not a record" % (pos, row, cell))
                elif rec[0] in CELL_RECORDS and struct.unpack_from("<H", stream, cell + 4)[0] != row:
                    problems.append("DBCELL at %d: row %d's cell pointer reaches another row" % (pos, row))

    sst = [(pos, rid, size) for pos, rid, size in recs if rid == 0x00FC]
    for pos, rid, size in recs:
        if rid != 0x00FF:
            continue
        (dsst,) = struct.unpack_from("<H", stream, pos + 4)
        starts = sst_string_starts(stream, recs)
        for k in range((size - 2) // 8):
            ib, cb, _ = struct.unpack_from("<IHH", stream, pos + 6 + 8 * k)
            if k * dsst >= len(starts) or starts[k * dsst] != ib:
                problems.append("EXTSST bucket %d: string position %d is wrong" % (k, ib))
            elif at.get(ib - cb, (None,))[0] not in (0x00FC, 0x003C):
                problems.append("EXTSST bucket %d: record offset %d is wrong" % (k, cb))
    if not sst and any(rid == 0x00FF for _, rid, _ in recs):
        problems.append("EXTSST without SST")
    return problems


def sst_string_starts(stream, recs):
    """Stream positions where each shared string begins, following CONTINUE records."""
    chunks = []
    i = next(i for i, r in enumerate(recs) if r[1] == 0x00FC)
    pos, _, size = recs[i]
    chunks.append((pos + 4 + 8, pos + 4 + size))
    (unique,) = struct.unpack_from("<I", stream, pos + 8)
    i += 1
    while i < len(recs) and recs[i][1] == 0x003C:
        chunks.append((recs[i][0] + 4, recs[i][0] + 4 + recs[i][2]))
        i += 1
    starts = []
    c = 0
    p = chunks[0][0]
    for _ in range(unique):
        if p >= chunks[c][1]:
            c += 1
            p = chunks[c][0]
        starts.append(p)
        cch, flags = struct.unpack_from("<HB", stream, p)
        p += 3
        left = cch
        while left:
            unit = 2 if flags & 1 else 1
            fit = min(left, (chunks[c][1] - p) // unit)
            p += fit * unit
            left -= fit
            if left:
                c += 1
                flags = stream[chunks[c][0]]
                p = chunks[c][0] + 1
    return starts


def main():
    path = sys.argv[1]
    log = io.StringIO()
    book = xlrd.open_workbook(path, formatting_info=True, ragged_rows=True, logfile=log)
    with open(path, "rb") as f:
        stream = compdoc.CompDoc(f.read(), logfile=log).get_named_stream("Workbook")
    sheet = book.sheet_by_index(0)
    cells = {}
    for r in range(sheet.nrows):
        for c in range(sheet.row_len(r)):
            cell = sheet.cell(r, c)
            if cell.ctype == xlrd.XL_CELL_EMPTY:
                continue
            cells["%d,%d" % (r, c)] = {"type": cell.ctype, "value": cell.value, "xf": cell.xf_index}
    xfs = []
    for xf in book.xf_list:
        b, a, g = xf.border, xf.alignment, xf.background
        xfs.append({
            "font": xf.font_index,
            "format": book.format_map[xf.format_key].format_str if xf.format_key in book.format_map else None,
            "formatKey": xf.format_key,
            "hAlign": a.hor_align,
            "vAlign": a.vert_align,
            "wrap": a.text_wrapped,
            "borders": [b.left_line_style, b.right_line_style, b.top_line_style, b.bottom_line_style],
            "borderColours": [b.left_colour_index, b.right_colour_index, b.top_colour_index, b.bottom_colour_index],
            "fill": g.fill_pattern,
            "fore": g.pattern_colour_index,
            "back": g.background_colour_index,
        })
    fonts = [{"name": f.name, "bold": bool(f.bold), "colour": f.colour_index, "height": f.height,
              "charset": f.character_set} for f in book.font_list]
    out = {
        "sheets": book.sheet_names(),
        "nrows": sheet.nrows,
        "ncols": sheet.ncols,
        "cells": cells,
        "xfs": xfs,
        "fonts": fonts,
        "palette": {str(k): list(v) for k, v in book.colour_map.items() if v is not None},
        "columns": {str(c): {"width": ci.width, "hidden": bool(ci.hidden)} for c, ci in sheet.colinfo_map.items()},
        "rows": {str(r): {"height": ri.height, "custom": bool(ri.height_mismatch), "hidden": bool(ri.hidden)}
                 for r, ri in sheet.rowinfo_map.items()},
        "defaultColumnWidth": sheet.defcolwidth,
        "problems": check_structure(stream),
        "log": log.getvalue(),
    }
    json.dump(out, sys.stdout, ensure_ascii=False)


main()
