"""The peer of the export benchmark: writes the order sheet with xlwt (Debian's python3-xlwt).

Same cells, formats, widths and heights as the program's export, from the lines the benchmark wrote
to a tab-separated UTF-8 file (bar code, code, articul, name, st1, st2, st3, cena, cena price, kol).
Prints the best time of the runs for building the workbook and saving it, in seconds.
Usage: /usr/bin/python3 xlwt_order.py LINES.tsv OUT.xls TITLE STAMP RUNS
"""

import sys
import time

import xlwt

CAPTIONS = ["Подгруппа", "Код", "Артикул", "Наименование", "Ед.изм.", "Минимальная упаковка",
            "Средняя упаковка", "Стандарт", "Цена со скидкой", "Цена", "Заказ (количество)",
            "Остаток на складе"]
WIDTHS = [2, 0, 50, 50, 350, 30, 50, 50, 50, 50, 60, 60]


def width_units(pixels):
    characters = (pixels - 5) / 7.0 if pixels > 11 else pixels * 0.0834
    return min(round(characters * 256), 255 * 256)


def build_and_save(lines, out, title, stamp):
    book = xlwt.Workbook(encoding="utf-8")
    sheet = book.add_sheet("Sheet1")
    bold = xlwt.easyxf("font: bold on")
    price = xlwt.easyxf(num_format_str="0.00")
    header = xlwt.easyxf(
        "font: name Times New Roman CYR, bold on, colour black;"
        "align: horiz centre, vert top, wrap on;"
        "borders: left thin, right thin, top thin, bottom thin,"
        " left_colour black, right_colour black, top_colour black, bottom_colour black;"
        "pattern: pattern solid, fore_colour pale_blue, back_colour pale_blue")
    for column, pixels in enumerate(WIDTHS):
        info = sheet.col(column)
        info.width = width_units(pixels)
        info.hidden = pixels == 0
    sheet.write(0, 3, "Заказ от " + title, bold)
    sheet.write(0, 6, "")
    for row in (0, 3):
        sheet.row(row).height_mismatch = True
        sheet.row(row).height = 50 * 15
    sheet.write(1, 2, stamp, bold)
    for i, caption in enumerate(CAPTIONS):
        sheet.write(3, 1 + i, caption, header)
    row = 4
    for bar, code, articul, name, st1, st2, st3, cena, cena_price, kol in lines:
        sheet.write(row, 0, bar)
        sheet.write(row, 1, "")
        sheet.write(row, 2, code)
        sheet.write(row, 3, articul)
        sheet.write(row, 4, name)
        sheet.write(row, 5, "шт.")
        sheet.write(row, 6, st1)
        sheet.write(row, 7, st2)
        sheet.write(row, 8, st3)
        sheet.write(row, 9, cena, price)
        sheet.write(row, 10, cena_price, price)
        sheet.write(row, 11, kol)
        row += 1
    book.save(out)


def main():
    path, out, title, stamp, runs = sys.argv[1], sys.argv[2], sys.argv[3], sys.argv[4], int(sys.argv[5])
    lines = []
    with open(path, encoding="utf-8") as f:
        for line in f:
            p = line.rstrip("\n").split("\t")
            lines.append((p[0], p[1], p[2], p[3], int(p[4]), int(p[5]), int(p[6]), float(p[7]), float(p[8]),
                          int(p[9])))
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        build_and_save(lines, out, title, stamp)
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    print("%.6f" % best)


main()
