"""Reads a table export back with Python's own readers (csv, json, openpyxl)
and prints it tab-separated, a row a line: numbers with two decimals, dates
as ISO text, so every format prints alike.  For XLSX the last row's first
value reads TOTAL when it is the bold "Total" row, and an amount written as
text is marked."""
import csv, datetime, json, sys
import openpyxl


def shown(value):
    if value is None:
        return ""
    if isinstance(value, datetime.datetime):
        return value.date().isoformat()
    if isinstance(value, (int, float)) and not isinstance(value, bool):
        return "%.2f" % value
    return str(value)


path = sys.argv[1]
if path.endswith(".csv"):
    with open(path, newline="", encoding="utf-8") as f:
        lines = list(csv.reader(f))
    lines = lines[:1] + [row[:-1] + [shown(float(row[-1]))] for row in lines[1:]]
elif path.endswith(".json"):
    with open(path, encoding="utf-8") as f:
        objects = json.load(f)
    lines = [list(objects[0].keys())] + [[shown(v) for v in o.values()] for o in objects]
else:
    sheet = openpyxl.load_workbook(path, data_only=True).active
    lines = [[shown(v) for v in row[:-1]] +
             ["TEXT:" + row[-1] if isinstance(row[-1], str) and n else shown(row[-1])]
             for n, row in enumerate(sheet.iter_rows(values_only=True))]
    bold = sheet.cell(1, 1).font.b and sheet.cell(len(lines), 1).font.b
    lines[-1][0] = "TOTAL" if lines[-1][0] == "Total" and bold else "NO TOTAL ROW"
for line in lines:
    print("\t".join(line))
