# Reads an HTML page on stdin the way a browser's tokenizer does (Python's
# html.parser, independent of the page builder) and writes JSON:
#   problems: what a page built from phone data must never hold: a script,
#             frame, object or style element, an event attribute, a link
#             that is neither one of the page's own (paging links, the
#             program's bubble and emoji files) nor a fully encoded file URL;
#   links:    every href and src value, in order;
#   text:     the character data, entities decoded.
import json
import re
import sys
from html.parser import HTMLParser

FORBIDDEN = {"script", "iframe", "frame", "object", "embed", "style", "base", "form"}
OWN_LINK = re.compile(r"^(/pre_page|/next_page|bubble/[a-z_]+\.(css|jpg|png)|emoji/[0-9A-F]{1,8}\.png)$")
# No blank, quote, angle bracket, backslash or raw non-ASCII character.
FILE_URL = re.compile(r"^file:///[A-Za-z0-9\-._~%/!$&'()*+,;=:@]*$")


class Page(HTMLParser):
    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.problems, self.links, self.text = [], [], []

    def handle_starttag(self, tag, attrs):
        if tag in FORBIDDEN:
            self.problems.append("element <%s>" % tag)
        for name, value in attrs:
            value = value or ""
            if name == "http-equiv" and value != "Content-Type":
                self.problems.append("http-equiv " + value)
            if name.startswith("on"):
                self.problems.append("event attribute %s on <%s>" % (name, tag))
            if name in ("href", "src"):
                self.links.append(value)
                if not OWN_LINK.match(value) and not FILE_URL.match(value):
                    self.problems.append('link %s="%s"' % (name, value))

    handle_startendtag = handle_starttag

    def handle_data(self, data):
        self.text.append(data)


p = Page()
p.feed(sys.stdin.buffer.read().decode("utf-8"))
p.close()
sys.stdout.write(json.dumps({"problems": p.problems, "links": p.links, "text": "".join(p.text)}))
