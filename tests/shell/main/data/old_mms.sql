CREATE TABLE handle (ROWID INTEGER PRIMARY KEY, address TEXT, person TEXT);
CREATE TABLE message (ROWID INTEGER PRIMARY KEY, date INTEGER, is_send INTEGER, subject TEXT, body TEXT, handle_id INTEGER);
CREATE TABLE attachment (ROWID INTEGER PRIMARY KEY, filename TEXT, mime_type TEXT);
CREATE TABLE message_attachment (message_id INTEGER, attachment_id INTEGER);
INSERT INTO handle VALUES (1, '5551234', 'Bob');
INSERT INTO message VALUES (1, 1600000000, 0, '', 'hello', 1);
INSERT INTO message VALUES (2, 1600000060, 1, '', 'hi Bob', 1);
