"""Writes the seed tables of the .DBF fuzz target into a folder (default: fuzz/corpus).

Usage: python3 fuzz/make_corpus.py [folder]
"""
import os
import struct
import sys


def table(fields, records, count=None, end=b'\x1a'):
    """fields: (name, type, width, decimals); records: full record bytes, flag included."""
    record_length = 1 + sum(f[2] for f in fields)
    header_length = 32 * (len(fields) + 1) + 1
    header = struct.pack('<BBBBIHH20x', 3, 124, 5, 17,
                         len(records) if count is None else count, header_length, record_length)
    header = header[:29] + b'\x03' + header[30:]
    for name, kind, width, decimals in fields:
        header += struct.pack('<11sc4xBB14x', name.encode('ascii'), kind.encode('ascii'), width, decimals)
    header += b'\x0d'
    for r in records:
        assert len(r) == record_length, (r, record_length)
    return header + b''.join(records) + end


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), 'corpus')
    os.makedirs(out, exist_ok=True)
    every = [('TEXTO', 'C', 6, 0), ('ENTERO', 'N', 5, 0), ('REAL', 'N', 7, 2), ('SINO', 'L', 1, 0),
             ('DIA', 'D', 8, 0)]
    rows = [b' \xd1and\xfa    12  -1.50T20240229',
            b'*borra     3   0.25F19991231',
            b'  lead *****       ?        ',
            b'       -9999 1234.5y2024  01']
    seeds = {
        'todos.dbf': table(every, rows),
        'vacia.dbf': table(every, []),
        'sin_fin.dbf': table(every, rows, end=b''),
        'cuenta_corta.dbf': table(every, rows, count=1),
        'cuenta_larga.dbf': table(every, rows, count=40),
        'cortada.dbf': table(every, rows)[:-9],
        'indices.dbf': table([('ID_PROD', 'N', 6, 0), ('ID_SUBORD', 'N', 6, 0), ('DESCRIP', 'C', 10, 0)],
                             [b'      1     0uno       ', b'      2     1dos       ', b'*     3     1tres      ',
                              b'      4     0cuatro    ', b'      2     1otro dos  ']),
        'ancho.dbf': table([('LARGO', 'C', 254, 0), ('N', 'N', 20, 4)],
                           [b' ' + b'x' * 254 + b'  -123456789012.1234']),
    }
    for name, data in seeds.items():
        with open(os.path.join(out, name), 'wb') as f:
            f.write(data)


if __name__ == '__main__':
    main()
