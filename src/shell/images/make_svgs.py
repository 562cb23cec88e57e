#!/usr/bin/env python3
"""Writes the application's SVG images and manifest.txt from the tables below.

Run it after changing a table; the build renders the SVGs to the PNG/JPEG
resources listed in manifest.txt (name, source, width, height).
Icons are rounded tiles with a two-tone gradient and a white line glyph
drawn on a 24-unit grid; list glyphs are drawn in colour on transparency.
"""
import os

HERE = os.path.dirname(os.path.abspath(__file__))


def shade(hex_colour, factor):
    """Lightens (factor > 0) or darkens (factor < 0) a colour."""
    r, g, b = (int(hex_colour[i:i + 2], 16) for i in (1, 3, 5))
    if factor > 0:
        r, g, b = (int(c + (255 - c) * factor) for c in (r, g, b))
    else:
        r, g, b = (int(c * (1 + factor)) for c in (r, g, b))
    return "#%02X%02X%02X" % (r, g, b)


# Glyphs on a 24 x 24 grid. Stroked parts use the current stroke; "F:" marks
# a filled element.
GLYPHS = {
    "devices": '<rect x="2" y="4" width="14" height="10" rx="1.5"/><path d="M6 18h7M9.5 14v4"/>'
               '<rect x="15.5" y="8" width="6.5" height="12" rx="1.5" fill="{tile}"/>',
    "databases": '<ellipse cx="10" cy="6" rx="6" ry="2.3"/><path d="M4 6v10c0 1.3 2.7 2.3 6 2.3s6-1 6-2.3V6M4 11c0 1.3 2.7 2.3 6 2.3s6-1 6-2.3"/>'
                 '<path d="M18 8.5c1.3.4 2 .9 2 1.5v9c0 1.3-2.7 2.3-6 2.3-1.6 0-3-.2-4-.6"/>',
    "database": '<ellipse cx="12" cy="6" rx="7" ry="2.5"/><path d="M5 6v12c0 1.4 3.1 2.5 7 2.5s7-1.1 7-2.5V6M5 12c0 1.4 3.1 2.5 7 2.5s7-1.1 7-2.5"/>',
    "iphone": '<rect x="7" y="2.5" width="10" height="19" rx="2.5"/><path d="M10.5 5h3"/><circle cx="12" cy="18.3" r="0.9" class="f"/>',
    "android": '<rect x="6.5" y="2.5" width="11" height="19" rx="2"/><path d="M6.5 17.5h11M6.5 5.5h11"/><circle cx="12" cy="19.5" r="0.8" class="f"/>'
               '<path d="M9.5 9.5l2.5 2.5 3-4" stroke-width="1.6"/>',
    "sms": '<path d="M5 4.5h14a2 2 0 0 1 2 2v9a2 2 0 0 1-2 2h-8l-5 4v-4H5a2 2 0 0 1-2-2v-9a2 2 0 0 1 2-2z"/>'
           '<circle cx="8" cy="11" r="1.1" class="f"/><circle cx="12" cy="11" r="1.1" class="f"/><circle cx="16" cy="11" r="1.1" class="f"/>',
    "contacts": '<circle cx="12" cy="8" r="4"/><path d="M4.5 21a7.5 6.5 0 0 1 15 0"/>',
    "voicemail": '<circle cx="6.5" cy="12.5" r="3.5"/><circle cx="17.5" cy="12.5" r="3.5"/><path d="M6.5 16h11"/>',
    "calendar": '<rect x="3.5" y="5" width="17" height="15.5" rx="2"/><path d="M3.5 10h17M8 3v4M16 3v4"/>'
                '<rect x="7" y="13" width="3" height="3" rx="0.5" class="f"/><rect x="12" y="13" width="3" height="3" rx="0.5" class="f"/>',
    "notes": '<path d="M6 3h9l4 4v13a1 1 0 0 1-1 1H6a1 1 0 0 1-1-1V4a1 1 0 0 1 1-1z"/><path d="M15 3v4h4M8 11h8M8 14.5h8M8 18h5"/>',
    "call": '<path class="f" d="M7.2 3.2l2.6-.2 1.5 4.6-2.2 1.6c1 2.3 2.7 4.1 5 5.2l1.7-2.1 4.5 1.6-.2 2.7c-.1 1.6-1.5 2.9-3.1 2.8C9.7 18.9 5 14.2 4.4 6.3 4.3 4.7 5.6 3.3 7.2 3.2z"/>',
    "recording": '<rect x="9" y="3" width="6" height="11" rx="3"/><path d="M6 11a6 6 0 0 0 12 0M12 17v4M9 21h6"/>',
    "bookmark": '<path class="f" d="M7 3h10a1 1 0 0 1 1 1v17l-6-4-6 4V4a1 1 0 0 1 1-1z"/>',
    "filesys": '<path d="M3 7a2 2 0 0 1 2-2h4l2 2h8a2 2 0 0 1 2 2v9a2 2 0 0 1-2 2H5a2 2 0 0 1-2-2z"/><path d="M3 10h18"/>',
    "photo": '<rect x="3" y="5" width="18" height="14" rx="2"/><circle cx="8.5" cy="9.5" r="1.6" class="f"/><path d="M4 17.5l5-5 3 3 3-4 5 6"/>',
    "video": '<rect x="2.5" y="6" width="12.5" height="12" rx="2"/><path class="f" d="M15 10.5l6-3.5v10l-6-3.5z"/>',
    "music": '<path d="M9.5 17V5.5l10-2.2V15"/><circle cx="7" cy="17" r="2.7" class="f"/><circle cx="17" cy="15" r="2.7" class="f"/>',
    "playlist": '<path d="M3 6h12M3 11h12M3 16h7M19 18V8l2.5-1"/><circle cx="17" cy="18" r="2.3" class="f"/>',
    "ringtone": '<path d="M6 16.5V11a6 6 0 0 1 12 0v5.5l1.8 1.8H4.2z"/><path d="M10 20.5a2 2 0 0 0 4 0"/>',
    "folder_open": '<path d="M3 7a2 2 0 0 1 2-2h4l2 2h8a2 2 0 0 1 2 2v9a2 2 0 0 1-2 2H5a2 2 0 0 1-2-2z"/><path d="M12 16.5v-6M9.5 13l2.5-2.5 2.5 2.5"/>',
    "exit": '<path d="M10 4H5.5a1 1 0 0 0-1 1v14a1 1 0 0 0 1 1H10M14.5 8l4 4-4 4M18.5 12H9"/>',
    "help": '<circle cx="12" cy="12" r="9"/><path d="M9.4 9.4a2.6 2.6 0 1 1 3.7 2.4c-.7.3-1.1.9-1.1 1.6v.7"/><circle cx="12" cy="17.2" r="1.1" class="f"/>',
    "home": '<path d="M3 11.5L12 4l9 7.5M5.5 9.5V20h5v-6h3v6h5V9.5"/>',
    "unmount": '<path class="f" d="M12 4.5l7.5 8.5h-15z"/><rect x="4.5" y="16" width="15" height="3" rx="1" class="f"/>',
    "delete": '<path d="M4 7h16M9.5 7V4.5h5V7M6.2 7l1 13h9.6l1-13M10 11v6M14 11v6"/>',
    "remove": '<circle cx="12" cy="12" r="9"/><path d="M7.5 12h9"/>',
    "add": '<circle cx="12" cy="12" r="9"/><path d="M7.5 12h9M12 7.5v9"/>',
    "edit": '<path d="M4 20l1-5L15.5 4.5l4 4L9 19z"/><path d="M13 7l4 4"/>',
    "new_ct": '<circle cx="10" cy="8" r="4"/><path d="M3 20.5a7 6.5 0 0 1 12.5-3.5M19 13v7M15.5 16.5h7"/>',
    "import": '<path d="M12 3v11M8 10l4 4 4-4M4 15v4a1 1 0 0 0 1 1h14a1 1 0 0 0 1-1v-4"/>',
    "import_files": '<path d="M7 3h7l4 4v6M14 3v4h4M7 3a1 1 0 0 0-1 1v16a1 1 0 0 0 1 1h5"/><path d="M18 15v6M15 18l3 3 3-3"/>',
    "export_sms": '<path d="M13 4.5H5a2 2 0 0 0-2 2v9a2 2 0 0 0 2 2h1v4l5-4h8a2 2 0 0 0 2-2v-4"/><path d="M16 3h5v5M21 3l-6 6"/>',
    "print": '<path d="M7 9V3h10v6"/><rect x="3" y="9" width="18" height="8" rx="2"/><rect x="7" y="14" width="10" height="7" rx="0.5" fill="{tile}"/>',
    "a2a": '<rect x="2" y="4" width="7" height="14" rx="1.5"/><rect x="15" y="6" width="7" height="14" rx="1.5"/><path d="M10.5 9h4l-1.6-1.6M13.5 15h-4l1.6 1.6"/>',
    "db2a": '<ellipse cx="6.5" cy="6.5" rx="4.5" ry="1.8"/><path d="M2 6.5v9c0 1 2 1.8 4.5 1.8S11 16.5 11 15.5v-9"/><rect x="15.5" y="5" width="6.5" height="14" rx="1.5"/><path d="M11.5 12h3l-1.5-1.5M14.5 12l-1.5 1.5"/>',
    "save_db": '<ellipse cx="12" cy="11" rx="7" ry="2.3"/><path d="M5 11v7c0 1.3 3.1 2.3 7 2.3s7-1 7-2.3v-7"/><path d="M12 2.5v6M9.5 6l2.5 2.5L14.5 6"/>',
    "extract": '<rect x="3" y="3" width="13" height="10" rx="1.5"/><circle cx="7" cy="6.5" r="1.1" class="f"/><path d="M3.5 12l4-3.5 3 2.5 2-1.5 3.5 3M18 10v10M14.5 16.5l3.5 3.5 3.5-3.5"/>',
    "group": '<circle cx="9" cy="8.5" r="3.5"/><path d="M2.5 20a6.5 6 0 0 1 13 0"/><circle cx="16.5" cy="7" r="2.8"/><path d="M16 13.2c3 0 5.5 2.3 5.5 5.5"/>',
    "search": '<circle cx="10.5" cy="10.5" r="6.5"/><path d="M15.5 15.5L20.5 20.5"/>',
    "cal_item": '<rect x="4" y="5" width="16" height="15" rx="2"/><path d="M4 9.5h16M8.5 3v4M15.5 3v4M8 14l2.5 2.5L16 12"/>',
    "bucket": '<rect x="6" y="3" width="15" height="12" rx="1.5"/><path d="M3 7v12a1.5 1.5 0 0 0 1.5 1.5H17"/><path d="M7 13.5l3.5-3.5 2.5 2.5 2.5-3 4 4"/>',
    "ring": '<path d="M6 16.5V11a6 6 0 0 1 12 0v5.5l1.8 1.8H4.2z"/><path d="M10 20.5a2 2 0 0 0 4 0"/>',
    "mu": '<path d="M9.5 17V5.5l10-2.2V15"/><circle cx="7" cy="17" r="2.7" class="f"/><circle cx="17" cy="15" r="2.7" class="f"/>',
}

# name: (glyph, colour) for tiled icons, rendered at 64 x 64.
TILES = {
    "devices": ("devices", "#3B82F6"),
    "databases": ("databases", "#475569"),
    "iphone": ("iphone", "#64748B"),
    "android": ("android", "#22A06B"),
    "database": ("database", "#0EA5E9"),
    "sms": ("sms", "#10B981"),
    "contacts": ("contacts", "#F59E0B"),
    "voicemail": ("voicemail", "#8B5CF6"),
    "calendar": ("calendar", "#EF4444"),
    "notes": ("notes", "#EAB308"),
    "call": ("call", "#16A34A"),
    "recording": ("recording", "#EC4899"),
    "bookmark": ("bookmark", "#F97316"),
    "filesys": ("filesys", "#6366F1"),
    "photo": ("photo", "#06B6D4"),
    "video": ("video", "#A855F7"),
    "music": ("music", "#F43F5E"),
    "playlist": ("playlist", "#D946EF"),
    "ringtone": ("ringtone", "#14B8A6"),
    "mi_open_local_db_folder": ("folder_open", "#0EA5E9"),
    "exit": ("exit", "#64748B"),
    "help": ("help", "#3B82F6"),
    "home": ("home", "#2F8FBE"),
    "unmount": ("unmount", "#64748B"),
    "mi_delete": ("delete", "#E5484D"),
    "remove": ("remove", "#E5484D"),
    "add": ("add", "#22A06B"),
    "edit": ("edit", "#F59E0B"),
    "new_ct": ("new_ct", "#F59E0B"),
    "import": ("import", "#6366F1"),
    "import-files": ("import_files", "#6366F1"),
    "mi_export-sms": ("export_sms", "#10B981"),
    "mi_print": ("print", "#475569"),
    "a2a": ("a2a", "#22A06B"),
    "db2a": ("db2a", "#0EA5E9"),
    "save-to-database": ("save_db", "#2F8FBE"),
    "extract_meida_files": ("extract", "#06B6D4"),
    "group": ("group", "#F59E0B"),
    "search": ("search", "#64748B"),
    "cal_item": ("cal_item", "#EF4444"),
    "bucket": ("bucket", "#06B6D4"),
    "ring": ("ring", "#14B8A6"),
    "mu": ("mu", "#F43F5E"),
}

TILE_SVG = """<svg xmlns="http://www.w3.org/2000/svg" width="64" height="64" viewBox="0 0 48 48">
  <defs>
    <linearGradient id="g" x1="0" y1="0" x2="0" y2="1">
      <stop offset="0" stop-color="{top}"/>
      <stop offset="1" stop-color="{bottom}"/>
    </linearGradient>
  </defs>
  <rect x="2" y="2" width="44" height="44" rx="11" fill="url(#g)"/>
  <rect x="2.5" y="2.5" width="43" height="21" rx="10.5" fill="#FFFFFF" fill-opacity="0.10"/>
  <g transform="translate(9 9) scale(1.25)" fill="none" stroke="#FFFFFF" stroke-width="1.8"
     stroke-linecap="round" stroke-linejoin="round">
    {glyph}
  </g>
</svg>
"""

PLAIN_SVG = """<svg xmlns="http://www.w3.org/2000/svg" width="{w}" height="{h}" viewBox="0 0 {vw} {vh}">
{body}
</svg>
"""

# Free-standing pictures (no tile): name -> (width, height, viewBox w, h, body)
PLAIN = {
    "folder": (64, 64, 24, 24,
               '<path d="M2.5 6.5a2 2 0 0 1 2-2h5l2 2h8a2 2 0 0 1 2 2v10a2 2 0 0 1-2 2h-15a2 2 0 0 1-2-2z" fill="#F5B935"/>'
               '<path d="M2.5 9.5h19v9a2 2 0 0 1-2 2h-15a2 2 0 0 1-2-2z" fill="#FBCB57"/>'),
    "file": (64, 64, 24, 24,
             '<path d="M6 2.5h8.5l4.5 4.5v13.5a1 1 0 0 1-1 1H6a1 1 0 0 1-1-1v-17a1 1 0 0 1 1-1z" fill="#FFFFFF" stroke="#94A3B8" stroke-width="1.2"/>'
             '<path d="M14.5 2.5V7H19" fill="#E2E8F0" stroke="#94A3B8" stroke-width="1.2" stroke-linejoin="round"/>'
             '<path d="M8 11h8M8 14h8M8 17h5" stroke="#CBD5E1" stroke-width="1.2" stroke-linecap="round"/>'),
    "call_in": (32, 32, 24, 24,
                '<path d="M18 6L7 17M7 9v8h8" fill="none" stroke="#16A34A" stroke-width="2.4" stroke-linecap="round" stroke-linejoin="round"/>'),
    "call_out": (32, 32, 24, 24,
                 '<path d="M6 18L17 7M9 7h8v8" fill="none" stroke="#2F8FBE" stroke-width="2.4" stroke-linecap="round" stroke-linejoin="round"/>'),
    "call_err": (32, 32, 24, 24,
                 '<path d="M4 8l7 7 9-9M14 6h6v6" fill="none" stroke="#E5484D" stroke-width="2.4" stroke-linecap="round" stroke-linejoin="round"/>'),
    "empty_contact": (128, 128, 48, 48,
                      '<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#E2E8F0"/><stop offset="1" stop-color="#CBD5E1"/></linearGradient></defs>'
                      '<circle cx="24" cy="24" r="23" fill="url(#g)"/>'
                      '<circle cx="24" cy="19" r="8" fill="#FFFFFF"/><path d="M9.5 40a15 13 0 0 1 29 0A22 22 0 0 1 9.5 40z" fill="#FFFFFF"/>'),
    "sms_handle": (64, 64, 48, 48,
                   '<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#9FB3CC"/><stop offset="1" stop-color="#6F88A8"/></linearGradient></defs>'
                   '<circle cx="24" cy="24" r="22" fill="url(#g)"/>'
                   '<circle cx="24" cy="19" r="7.5" fill="#FFFFFF"/><path d="M10.5 39a14 12 0 0 1 27 0A21 21 0 0 1 10.5 39z" fill="#FFFFFF"/>'),
    "imsg-send": (32, 32, 24, 24,
                  '<path d="M5 4h14a2 2 0 0 1 2 2v9a2 2 0 0 1-2 2h-1v4l-5-4H5a2 2 0 0 1-2-2V6a2 2 0 0 1 2-2z" fill="#2F8FBE"/>'),
    "imsg-rec": (32, 32, 24, 24,
                 '<path d="M19 4H5a2 2 0 0 0-2 2v9a2 2 0 0 0 2 2h1v4l5-4h8a2 2 0 0 0 2-2V6a2 2 0 0 0-2-2z" fill="#CBD5E1"/>'),
    "icon_sms-sent": (32, 32, 24, 24,
                      '<circle cx="12" cy="12" r="10" fill="#2F8FBE"/><path d="M8 16l8-8M10 8h6v6" fill="none" stroke="#FFFFFF" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>'),
    "icon_sms-receive": (32, 32, 24, 24,
                         '<circle cx="12" cy="12" r="10" fill="#10B981"/><path d="M16 8l-8 8M8 10v6h6" fill="none" stroke="#FFFFFF" stroke-width="2" stroke-linecap="round" stroke-linejoin="round"/>'),
    "empty_photo": (256, 256, 48, 48,
                    '<rect width="48" height="48" fill="#EEF2F7"/>'
                    '<g transform="translate(12 12)" fill="none" stroke="#A9B8CC" stroke-width="1.6" stroke-linecap="round" stroke-linejoin="round">'
                    '<rect x="1" y="4" width="22" height="16" rx="2"/><circle cx="7.5" cy="9.5" r="2" fill="#A9B8CC"/><path d="M2 18l6-6 4 4 3.5-4.5L22 18"/></g>'),
    # The product picture: a phone riding a wave between two shores.
    "main": (256, 256, 96, 96,
             '<defs>'
             '<linearGradient id="bg" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#3AB0E2"/><stop offset="1" stop-color="#1D5FA8"/></linearGradient>'
             '<linearGradient id="ph" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#FFFFFF"/><stop offset="1" stop-color="#DCEBF7"/></linearGradient>'
             '<linearGradient id="sc" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#2F8FBE"/><stop offset="1" stop-color="#7EC7EA"/></linearGradient>'
             '</defs>'
             '<rect x="4" y="4" width="88" height="88" rx="22" fill="url(#bg)"/>'
             '<path d="M4 30 Q 48 12 92 30 V26 A22 22 0 0 0 70 4 H26 A22 22 0 0 0 4 26 Z" fill="#FFFFFF" fill-opacity="0.12"/>'
             '<rect x="33" y="14" width="30" height="50" rx="6" fill="url(#ph)"/>'
             '<rect x="36.5" y="20" width="23" height="36" rx="2" fill="url(#sc)"/>'
             '<path d="M44 17h8" stroke="#9FB3CC" stroke-width="1.6" stroke-linecap="round"/>'
             '<circle cx="48" cy="60" r="1.8" fill="#9FB3CC"/>'
             '<path d="M42 33h12M50 29l4 4-4 4M54 43H42M46 39l-4 4 4 4" fill="none" stroke="#FFFFFF" stroke-width="2.2" stroke-linecap="round" stroke-linejoin="round"/>'
             '<path d="M8 70 Q 18 63 28 70 T 48 70 T 68 70 T 88 70 V78 A14 14 0 0 1 74 92 H22 A14 14 0 0 1 8 78 Z" fill="#FFFFFF" fill-opacity="0.9"/>'
             '<path d="M8 78 Q 18 72 28 78 T 48 78 T 68 78 T 88 78" fill="none" stroke="#7EC7EA" stroke-width="2"/>'),
    "android-big": (256, 256, 96, 96,
                    '<defs><linearGradient id="bd" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#475569"/><stop offset="1" stop-color="#1E293B"/></linearGradient>'
                    '<linearGradient id="sc" x1="0" y1="0" x2="1" y2="1"><stop offset="0" stop-color="#7EC7EA"/><stop offset="1" stop-color="#2F8FBE"/></linearGradient></defs>'
                    '<rect x="26" y="6" width="44" height="84" rx="8" fill="url(#bd)"/>'
                    '<rect x="29.5" y="14" width="37" height="66" rx="2.5" fill="url(#sc)"/>'
                    '<path d="M42 10h12" stroke="#94A3B8" stroke-width="1.6" stroke-linecap="round"/>'
                    '<circle cx="48" cy="85" r="2" fill="#94A3B8"/>'
                    '<g fill="#FFFFFF" fill-opacity="0.9"><rect x="34" y="20" width="8" height="8" rx="2"/><rect x="44" y="20" width="8" height="8" rx="2"/><rect x="54" y="20" width="8" height="8" rx="2"/>'
                    '<rect x="34" y="31" width="8" height="8" rx="2"/><rect x="44" y="31" width="8" height="8" rx="2"/><rect x="54" y="31" width="8" height="8" rx="2"/></g>'),
    # Backgrounds (rendered to JPEG): light, with soft waves at the top.
    "main_bg": (1920, 1200, 1920, 1200,
                '<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#EAF4FB"/><stop offset="0.35" stop-color="#FFFFFF"/></linearGradient></defs>'
                '<rect width="1920" height="1200" fill="url(#g)"/>'
                '<path d="M0 90 C 320 40 640 140 960 90 S 1600 40 1920 90 V0 H0 Z" fill="#D6EAF6" fill-opacity="0.7"/>'
                '<path d="M0 60 C 360 20 700 110 1040 60 S 1660 20 1920 50 V0 H0 Z" fill="#BFDDF0" fill-opacity="0.6"/>'),
    "sub_bg": (800, 600, 800, 600,
               '<defs><linearGradient id="g" x1="0" y1="0" x2="0" y2="1"><stop offset="0" stop-color="#E3F1FA"/><stop offset="0.25" stop-color="#FFFFFF"/></linearGradient></defs>'
               '<rect width="800" height="600" fill="url(#g)"/>'
               '<path d="M0 34 C 140 14 260 50 400 34 S 660 14 800 30 V0 H0 Z" fill="#CFE6F5" fill-opacity="0.8"/>'),
}

# Resource name, source, output size for everything rendered.
# Icons are 64 x 64 so the 52-pixel toolbar and the 18-pixel tree both get
# a sharp scaled picture.
def main():
    manifest = []
    for name, (glyph, colour) in sorted(TILES.items()):
        body = GLYPHS[glyph].replace('class="f"', 'fill="#FFFFFF" stroke="none"').replace("{tile}", shade(colour, -0.15))
        svg = TILE_SVG.format(top=shade(colour, 0.18), bottom=shade(colour, -0.18), glyph=body)
        with open(os.path.join(HERE, name + ".svg"), "w") as f:
            f.write(svg)
        manifest.append(("res/%s.png" % name, name + ".svg", 64, 64))
    for name, (w, h, vw, vh, body) in sorted(PLAIN.items()):
        with open(os.path.join(HERE, name + ".svg"), "w") as f:
            f.write(PLAIN_SVG.format(w=w, h=h, vw=vw, vh=vh, body=body))
        if name == "main":
            out = "main"
        elif name in ("main_bg", "sub_bg"):
            out = name + ".jpg"
        elif name == "empty_photo":
            out = "res/empty_photo.jpg"
        else:
            out = "res/%s.png" % name
        manifest.append((out, name + ".svg", w, h))
    with open(os.path.join(HERE, "manifest.txt"), "w") as f:
        f.write("# resource-alias source-svg width height (generated by make_svgs.py)\n")
        for row in manifest:
            f.write("%s %s %d %d\n" % row)


if __name__ == "__main__":
    main()
