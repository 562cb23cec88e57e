# Prints what Python's html.parser finds in a bookmark file, as JSON: the set
# of tags, every anchor and heading as [tag, its attribute names joined by
# spaces, text, href], and any comment, declaration or processing
# instruction met.
import json
import sys
from html.parser import HTMLParser


class Parser(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.tags, self.items, self.cur, self.other = [], [], None, []

    def handle_starttag(self, tag, attrs):
        self.tags.append(tag)
        if tag in ('a', 'h3'):
            self.cur = [tag, ' '.join(k for k, v in attrs), '', dict(attrs).get('href', '')]

    def handle_endtag(self, tag):
        if tag in ('a', 'h3') and self.cur is not None:
            self.items.append(self.cur)
            self.cur = None

    def handle_data(self, data):
        if self.cur is not None:
            self.cur[2] += data

    def handle_comment(self, data):
        self.other.append('comment')

    def handle_decl(self, decl):
        self.other.append('decl')

    def handle_pi(self, data):
        self.other.append('pi')

    def unknown_decl(self, data):
        self.other.append('unknown')


p = Parser()
p.feed(open(sys.argv[1], encoding='utf-8', newline='').read())
p.close()
print(json.dumps({'tags': sorted(set(p.tags)), 'items': p.items, 'other': p.other}))
