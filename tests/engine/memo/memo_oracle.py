#!/usr/bin/python3
"""Interoperability oracle for the memo file tests.

Reads a .DBF file and its memo file with Debian's python3-dbfread and
prints the memo texts, so that the engine's reading of a memo file (or
another reader's reading of one the engine wrote) can be compared.

  memo_oracle.py FILE

dbfread reads a dBASE IV memo as the length word's count of bytes after
the 8-byte block header (8 more than the memo holds) and cuts it at the
first 0x1F; the engine leaves the rest of a memo's run zero, so trailing
zero bytes are dropped here.  Memos compared this way must not end in zero
bytes themselves, and must leave at least 8 bytes of their run unused.

Output, one line per record: live records ('L') in file order, then
records tagged deleted ('D'); each line holds, for every memo field in
field order, the memo's bytes in lower-case hex, or '-' for no memo:
  L|hex|-|hex
"""
import sys


def dump(path):
    import dbfread
    # latin-1 maps every byte to one character and back, so the bytes come
    # out exactly as stored.
    table = dbfread.DBF(path, encoding='latin-1', recfactory=list)
    memo_fields = [f.name for f in table.fields if f.type in 'MBG']
    lines = []
    for tag, records in (('L', table.records), ('D', table.deleted)):
        for record in records:
            values = dict(record)
            cells = []
            for name in memo_fields:
                value = values[name]
                if value is None:
                    cells.append('-')
                    continue
                if not isinstance(value, bytes):
                    value = value.encode('latin-1')
                cells.append(value.rstrip(b'\0').hex())
            lines.append('|'.join([tag] + cells))
    sys.stdout.write(''.join(line + '\n' for line in lines))


if __name__ == '__main__':
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    dump(sys.argv[1])
