"""Reads .DBF files with dbfread and prints what it finds as a JSON list (for the codec's tests).

Usage: python3 dbfread_check.py FILE[=ENCODING]...

ENCODING overrides the code page dbfread takes from the language-driver byte. Exit code 3 when
the dbfread module is not installed.
"""
import datetime
import json
import sys

try:
    import dbfread
except ImportError:
    sys.exit(3)


def plain(value):
    if isinstance(value, (datetime.date, datetime.datetime)):
        return value.isoformat()
    return value


def read(argument):
    path, _, encoding = argument.partition('=')
    try:
        table = dbfread.DBF(path, load=True, encoding=encoding or None)
        fields = ['%s %s %d %d' % (f.name, f.type, f.length, f.decimal_count) for f in table.fields]
        records = [[plain(v) for v in record.values()] for record in table.records]
        return {'ok': True, 'encoding': table.encoding, 'fields': fields, 'records': records}
    except Exception as error:  # the reader gave up on the file: that is an answer too
        return {'ok': False, 'error': str(error)}


print(json.dumps([read(a) for a in sys.argv[1:]], ensure_ascii=True))
