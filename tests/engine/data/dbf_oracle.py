#!/usr/bin/python3
"""Interoperability oracle for the data file tests.

Reads a .DBF file with Debian's python3-dbfread, or writes one with
python3-dbf, so that the engine's view of a file can be compared with that
of independent generic readers and writers.

  dbf_oracle.py dump FILE     prints FILE's fields and records as dbfread reads them
  dbf_oracle.py write FILE    writes a small dBASE III table with python3-dbf

Dump format (the C++ tests build the same text from the engine):
  F|NAME|TYPE|LENGTH          one line per field, in file order
  L|hex|hex|...               one line per live record (tag ' '), in file order,
                              each field's raw bytes in lower-case hex
  D|hex|hex|...               then one line per record tagged deleted ('*')
"""
import datetime
import sys


def dump(path):
    import dbfread
    # Records as lists of (name, bytes): some files repeat a field name,
    # which a dict would fold into one.
    table = dbfread.DBF(path, raw=True, ignore_missing_memofile=True,
                        char_decode_errors='replace', recfactory=list)
    lines = ['F|%s|%s|%d' % (f.name, f.type, f.length) for f in table.fields]
    for tag, records in (('L', table.records), ('D', table.deleted)):
        for record in records:
            lines.append('|'.join([tag] + [value.hex() for _, value in record]))
    sys.stdout.write(''.join(line + '\n' for line in lines))


def write(path):
    import dbf
    table = dbf.Table(path, 'name C(20); qty N(6,0); price N(10,2); born D; flag L',
                      dbf_type='db3')
    table.open(dbf.READ_WRITE)
    table.append(('Widget, large', 12, 3.5, datetime.date(2021, 3, 4), True))
    table.append(('Gadget "x"', -4, 1234.56, None, False))
    table.append(('Sprocket', 0, 0.0, datetime.date(1999, 12, 31), None))
    dbf.delete(table[1])
    table.close()


if __name__ == '__main__':
    if len(sys.argv) != 3 or sys.argv[1] not in ('dump', 'write'):
        sys.exit(__doc__)
    {'dump': dump, 'write': write}[sys.argv[1]](sys.argv[2])
