# Prints what python3-vobject reads from the vCard file given: the values of
# every card as JSON, for the round-trip test to compare.
import json, sys, vobject

def typed(c, name):
    return [[p.value, sorted(t.lower() for t in p.params.get('TYPE', []))] for p in c.contents.get(name, [])]

out = []
with open(sys.argv[1], encoding='utf-8', newline='') as f:
    for c in vobject.readComponents(f.read()):
        out.append({'fn': c.fn.value, 'n': [c.n.value.family, c.n.value.given],
                    'tel': typed(c, 'tel'), 'email': typed(c, 'email'),
                    'adr': [[a.value.box, a.value.extended, a.value.street, a.value.city, a.value.code, a.value.country]
                            for a in c.contents.get('adr', [])],
                    'bday': [b.value for b in c.contents.get('bday', [])],
                    'url': [u.value for u in c.contents.get('url', [])],
                    'note': [n.value for n in c.contents.get('note', [])],
                    'photo': [len(p.value) for p in c.contents.get('photo', [])]})
print(json.dumps(out, ensure_ascii=False))
