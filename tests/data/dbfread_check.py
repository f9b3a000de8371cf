"""Reads a .DBF file with dbfread and prints what it finds as JSON (for the codec's tests).

Usage: python3 dbfread_check.py FILE [ENCODING]

ENCODING overrides the code page dbfread takes from the language-driver byte.
"""
import datetime
import json
import sys

import dbfread


def plain(value):
    if isinstance(value, (datetime.date, datetime.datetime)):
        return value.isoformat()
    return value


def main():
    encoding = sys.argv[2] if len(sys.argv) > 2 else None
    table = dbfread.DBF(sys.argv[1], load=True, encoding=encoding)
    fields = ['%s %s %d %d' % (f.name, f.type, f.length, f.decimal_count) for f in table.fields]
    records = [[plain(v) for v in record.values()] for record in table.records]
    json.dump({'encoding': table.encoding, 'fields': fields, 'records': records}, sys.stdout, ensure_ascii=True)


if __name__ == '__main__':
    main()
