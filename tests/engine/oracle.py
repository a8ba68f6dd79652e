#!/usr/bin/python3
"""Interoperability oracle: reads dBASE files with Debian's python3-dbfread
and writes one with python3-dbf, generic readers and writers we did not
write, so that the engine's view of a file can be compared with theirs.

  oracle.py dump FILE     FILE's fields and records as dbfread reads them
  oracle.py memos FILE    FILE's memo texts as dbfread reads them
  oracle.py write FILE    writes a small dBASE III table with python3-dbf

dump prints one line per field, F|NAME|TYPE|LENGTH, then one line per live
record L|hex|hex|... (each field's raw bytes in lower-case hex), then one
per record tagged deleted, D|hex|...

memos prints one line per record (live ones, then deleted ones) with, for
every memo field, the memo's bytes in hex or '-' for none.  dbfread reads a
dBASE IV memo as the length word's count of bytes after the block header
(8 more than the memo holds) and cuts it at the first 0x1F; the engine
leaves the rest of a run zero, so trailing zero bytes are dropped.
"""
import datetime
import sys


def dump(path):
    import dbfread
    # Records as lists: some files repeat a field name.
    table = dbfread.DBF(path, raw=True, ignore_missing_memofile=True,
                        char_decode_errors='replace', recfactory=list)
    lines = ['F|%s|%s|%d' % (f.name, f.type, f.length) for f in table.fields]
    for tag, records in (('L', table.records), ('D', table.deleted)):
        for record in records:
            lines.append('|'.join([tag] + [value.hex() for _, value in record]))
    sys.stdout.write(''.join(line + '\n' for line in lines))


def memos(path):
    import dbfread
    # latin-1 maps every byte to one character and back.
    table = dbfread.DBF(path, encoding='latin-1', recfactory=list)
    fields = [f.name for f in table.fields if f.type in 'MBG']
    lines = []
    for tag, records in (('L', table.records), ('D', table.deleted)):
        for record in records:
            values = dict(record)
            cells = []
            for name in fields:
                value = values[name]
                if value is None:
                    cells.append('-')
                    continue
                if not isinstance(value, bytes):
                    value = value.encode('latin-1')
                cells.append(value.rstrip(b'\0').hex())
            lines.append('|'.join([tag] + cells))
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
    commands = {'dump': dump, 'memos': memos, 'write': write}
    if len(sys.argv) != 3 or sys.argv[1] not in commands:
        sys.exit(__doc__)
    commands[sys.argv[1]](sys.argv[2])
