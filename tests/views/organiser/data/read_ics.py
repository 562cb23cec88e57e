# Prints the events of an iCalendar file as python3-icalendar reads them, as
# JSON: text values as read, times in ISO form, the rule as icalendar writes
# it back, and how many errors the parser noted for each event.
import json
import sys

import icalendar

cal = icalendar.Calendar.from_ical(open(sys.argv[1], 'rb').read())
out = []
for ev in cal.walk('VEVENT'):
    d = {k: str(ev[k]) for k in ('SUMMARY', 'DESCRIPTION', 'UID') if k in ev}
    for k in ('DTSTART', 'DTEND', 'DTSTAMP'):
        if k in ev:
            d[k] = ev.decoded(k).isoformat()
    if 'RRULE' in ev:
        d['RRULE'] = ev['RRULE'].to_ical().decode()
    d['errors'] = len(ev.errors)
    out.append(d)
print(json.dumps(out))
