# Writes the DBF fixtures of the table tests with Debian's python3-dbf: one table of each kind it
# writes (dBASE III, FoxPro, Visual FoxPro, Clipper), two records each, the second deleted.
import datetime
import sys

import dbf

folder = sys.argv[1]
for kind in ['db3', 'fp', 'vfp', 'clp']:
    if kind == 'vfp':
        spec = 'NAME C(12); QTY N(6,2); F1 F(8,3); WHEN D; OK L; NOTE M; CNT I'
        first = ('Alpha', 12.5, 1.25, datetime.date(2001, 3, 5), True, 'memo text', 42)
    else:
        spec = 'NAME C(12); QTY N(6,2); WHEN D; OK L; NOTE M'
        first = ('Alpha', 12.5, datetime.date(2001, 3, 5), True, 'memo text')
    t = dbf.Table('%s/t_%s' % (folder, kind), spec, dbf_type=kind)
    t.open(dbf.READ_WRITE)
    t.append(first)
    t.append(('Beta',))
    dbf.delete(t[1])
    t.close()
