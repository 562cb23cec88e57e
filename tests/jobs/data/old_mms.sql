-- The columns the conversion reads, as earlier versions wrote them.
CREATE TABLE handle (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, address TEXT, person TEXT);
CREATE TABLE message (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, date INTEGER, is_send INTEGER, subject TEXT, body TEXT,
                      handle_id INTEGER);
CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY AUTOINCREMENT, filename TEXT, mime_type TEXT);
CREATE TABLE message_attachment (message_id INTEGER, attachment_id INTEGER);
